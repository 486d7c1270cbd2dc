# Sources of the transfer subsystem: core files (standard library only) and Qt files.
