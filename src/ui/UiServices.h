#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "avi/engine/AviEngine.h"
#include "avi/writer/Container.h"
#include "project/PictureDefaults.h"
#include "project/ProjectFile.h"
#include "project/TextRecords.h"
#include "ui/FileDialogs.h"
#include "ui/Prompter.h"

class QWidget;

namespace kinetar::ui {

// Shows the prompt and returns the button pressed.
using AskFunction = std::function<QMessageBox::StandardButton(QWidget* parent, const Prompt& prompt)>;
// Hands a file or an address to the desktop; false when nothing took it.
using OpenFunction = std::function<bool(const QUrl& target)>;
// Asks for a colour, starting from `initial`; nothing when the user cancelled.
using ColorFunction = std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)>;
// Lets the user pick the compressor of a run, over `owner`; false when the user cancelled.
using CompressorFunction = std::function<bool(QWidget* owner, avi::Container container,
                                              project::CodecSettings& variables, const avi::FrameDIB& format)>;
// The generation engine's entry point, callable from any thread.
using EngineFunction = std::function<void(project::ProjectHeader& header, const std::string& workingCopyPath,
                                          bool& settingsChanged, const avi::ProgressCallback& progress,
                                          std::uint8_t& result, const avi::EngineServices& services)>;

// What the New slideshow dialog was given: the project's settings, and the pictures and music to
// start with (either may be empty).
struct SlideshowChoices {
    project::SlideshowSettings Settings;
    QStringList Pictures;
    QStringList Music;
};
struct UiServices;
// Shows the New slideshow dialog; nothing when the user cancelled.
using SlideshowFunction = std::function<std::optional<SlideshowChoices>(QWidget* parent, const UiServices& services)>;

// A caption's looks (its words are left as they are), starting from `initial`; nothing when the
// user cancelled.
using CaptionStyleFunction = std::function<std::optional<project::Caption>(QWidget* parent, const UiServices& services,
                                                                           const project::Caption& initial)>;
// A title card's words, looks and time.
struct TitleChoices {
    project::Title Title;
    std::uint32_t Duration = 3000;  // milliseconds
};
// Shows the title dialog filled from `initial`; nothing when the user cancelled.
using TitleFunction = std::function<std::optional<TitleChoices>(QWidget* parent, const UiServices& services,
                                                                const TitleChoices& initial)>;

// Everything the windows ask of the world outside them, handed to each window that needs it: the
// program passes the desktop's services, tests pass their own.
struct UiServices {
    AskFunction Ask;
    FileDialogRunner RunFileDialog;
    OpenFunction OpenDocument;
    ColorFunction ChooseColor;
    EngineFunction CreateAVI;
    CompressorFunction ChooseCompressor;
    SlideshowFunction AskSlideshow;
    CaptionStyleFunction AskCaptionStyle;
    TitleFunction AskTitle;
    // The open-file dialog the whole program shares; what one use leaves in it stays for the next.
    SharedFileDialog* SharedDialog = nullptr;

    // An error box: caption "Error", error icon, OK.
    void ReportError(QWidget* parent, const QString& text) const;
    // Runs a dialog and, when a file was chosen, keeps it in the setup's FileName and Files.
    bool RunDialog(QWidget* parent, FileDialogSetup& setup) const;
    // Runs the shared dialog as it was prepared.
    bool RunSharedDialog(QWidget* parent) const { return RunDialog(parent, SharedDialog->OpenDialog); }
};

// Real message boxes, file and colour dialogs, the desktop's opener and the engine.
UiServices DesktopServices(SharedFileDialog& sharedDialog);

}  // namespace kinetar::ui
