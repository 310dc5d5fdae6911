// Lets a subsystem library exist before its first source file.
