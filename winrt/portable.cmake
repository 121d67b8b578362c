# Filled by the portable part's change.
