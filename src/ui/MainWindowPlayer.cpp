#include <QStatusBar>

#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPlayer.h"

// The preview player's ties to the rest of the window.

namespace kinetar::ui {

void MainWindow::ConnectPlayer()
{
    PreviewPlayer& player = m_details->Player();
    player.TakeKeysOf(m_frameList);
    connect(&player, &PreviewPlayer::RecordShown, this,
            [this](int record) { m_frameList->setCurrentRow(record, QItemSelectionModel::ClearAndSelect); });
    connect(&player, &PreviewPlayer::Notice, this, [this](const QString& text) { statusBar()->showMessage(text); });
}

}  // namespace kinetar::ui
