#include "ui/UiServices.h"

#include <QColorDialog>

#include "ui/CaptionStyleDialog.h"
#include "ui/CompressorChooser.h"
#include "ui/DesktopOpener.h"
#include "ui/Messages.h"
#include "ui/NewSlideshowDialog.h"
#include "ui/TitleDialog.h"

namespace kinetar::ui {

void UiServices::ReportError(QWidget* parent, const QString& text) const
{
    Ask(parent, {msg::kErrorCaption, text, QMessageBox::Critical, QMessageBox::Ok});
}

bool UiServices::RunDialog(QWidget* parent, FileDialogSetup& setup) const
{
    const QStringList files = RunFileDialog(parent, setup);
    if (files.isEmpty()) {
        return false;
    }
    setup.FileName = files.front();
    setup.Files = files;
    return true;
}

UiServices DesktopServices(SharedFileDialog& sharedDialog)
{
    UiServices services;
    services.Ask = ShowMessageBox;
    services.RunFileDialog = ShowFileDialog;
    services.OpenDocument = OpenWithDesktop;
    services.ChooseColor = [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, parent, QStringLiteral("Background colour"));
        return chosen.isValid() ? std::optional(chosen) : std::nullopt;
    };
    services.CreateAVI = avi::CreateAVI;
    services.ChooseCompressor = [](QWidget* owner, avi::Container container, project::CodecSettings& variables,
                                   const avi::FrameDIB& format) {
        return MakeCompressorChooser(owner, nullptr, container)(variables, format);
    };
    services.AskSlideshow = AskNewSlideshow;
    services.AskCaptionStyle = AskCaptionStyle;
    services.AskTitle = AskTitleCard;
    services.SharedDialog = &sharedDialog;
    return services;
}

}  // namespace kinetar::ui
