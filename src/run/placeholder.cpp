// Removed once the subsystem's first source lands.
