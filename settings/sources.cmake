# Sources of the settings subsystem: core files (standard library only) and Qt files.
