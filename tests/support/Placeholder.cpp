// Test fixtures live here.
