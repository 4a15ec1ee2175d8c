// Replaced by the library interface.
