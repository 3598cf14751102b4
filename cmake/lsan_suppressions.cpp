// Leak reports of the sanitizer build that belong to system libraries: the
// font configuration library keeps its caches until the process ends, and
// Qt's application object lives until then by design.
// Visible although every target hides its symbols: the sanitizer runtime
// looks the function up by name.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libQt6Core.so\n"
         "leak:libQt6Gui.so\n"
         "leak:libQt6Widgets.so\n"
         "leak:libdbus-1.so\n";
}
