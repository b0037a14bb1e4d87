// Keeps a subsystem library valid before its first source file exists.
namespace tovrin_empty_unit {}
