// Runs the alert and an interface file in a process of its own, so a test can
// check what happens without a display: argv[1] the headline, argv[2] the
// informative text, the rest the button captions. Exit status: 0 when
// runAlert returned 1000 and the interface file "WidgetGallery" had no
// widgets; 2 when the alert answered otherwise; 3 when widgets were built.
#include "platform/alert.h"
#include "platform/application.h"
#include "platform/interface_file.h"

int main(int argc, char** argv) {
  platform::AlertContent alert;
  if (argc > 1) alert.messageText = argv[1];
  if (argc > 2) alert.informativeText = argv[2];
  for (int i = 3; i < argc; ++i) alert.buttons.emplace_back(argv[i]);
  if (platform::runAlert(alert) != 1000) return 2;
  auto file = platform::loadInterfaceFile("WidgetGallery");
  if (!file || file->window() || file->button("pushButton") || file->textView("browser") ||
      platform::Application::sharedApplication().hasDisplay())
    return 3;
  return 0;
}
