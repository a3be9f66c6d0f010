#pragma once

namespace dialogs {

// Shows a fresh About box ("&OK" closes it), modal to the whole application, and returns when it
// has been closed.
void showAbout();

} // namespace dialogs
