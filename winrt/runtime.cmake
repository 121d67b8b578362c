# Filled by the runtime part's change.
