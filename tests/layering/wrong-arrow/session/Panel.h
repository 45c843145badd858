#pragma once

// A session that draws: it would tie every front end to one window.
#include <QObject>
#include <QWidget>
