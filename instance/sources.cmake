# Sources of the instance subsystem: core files (standard library only) and Qt files.
