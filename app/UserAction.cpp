#include "app/UserAction.h"

#include <QString>
#include <exception>

#include "app/MessageBoxes.h"
#include "buffer/Abort.h"

namespace kestrel {

bool RunUserAction(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    ShowExceptionBox(QString::fromUtf8(error.what()));
  }
  return false;
}

}  // namespace kestrel
