// Keeps the library non-empty until the transform lands.
namespace tesora { void MraPlaceholder() {} }
