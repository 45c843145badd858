#pragma once

// The codecs know no Qt.
#include <QWidget>
