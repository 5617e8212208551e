// What the Qt backend offers beyond the framework's own operations, for the
// program entry and the backend's tests.
#pragma once

// Loads Qt's own Japanese texts (the standard buttons of every box read
// "OK", "キャンセル" ...), whatever the desktop's language; false when the
// system has no such translation.
bool AfxLoadToolkitTranslations();
