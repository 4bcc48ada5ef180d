// The console's files, embedded into the host when it is built (from server/host/console/), so
// that nothing is fetched or read from disk at run time: the page layout and the login page
// (HTML with {{name}} places that console_pages.h fills), the style sheet and the script.
#ifndef TQS_SERVER_HOST_CONSOLE_CONSOLE_ASSETS_H_
#define TQS_SERVER_HOST_CONSOLE_CONSOLE_ASSETS_H_

namespace tqs::server::host::console::assets {

extern const char* const kLayoutHtml;
extern const char* const kLoginHtml;
extern const char* const kConsoleCss;
extern const char* const kConsoleJs;

}  // namespace tqs::server::host::console::assets

#endif  // TQS_SERVER_HOST_CONSOLE_CONSOLE_ASSETS_H_
