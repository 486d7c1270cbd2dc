# Sources of the netview subsystem: core files (standard library only) and Qt files.
