// Everything the plugin holds comes from the settings library, linked whole.
