#pragma once

// A session on Qt Gui's undo stack: it would need a display library to run without a window.
#include <QUndoStack>
