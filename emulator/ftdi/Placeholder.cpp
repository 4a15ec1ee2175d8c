// Replaced by the FTDI front end.
