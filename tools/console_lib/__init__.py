"""The interface console: plays the host's Flutter interface over the UI bridge."""
