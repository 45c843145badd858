#pragma once

#include <QString>

// The desktop program's own message texts and captions, exactly as the user sees them; "\r\n" is a
// line break.
namespace kinetar::ui::msg {

// Captions
inline const QString kApplicationTitle = QStringLiteral("Kinetar");
inline const QString kErrorCaption = QStringLiteral("Error");
inline const QString kQuestionCaption = QStringLiteral("Question");
inline const QString kInformationCaption = QStringLiteral("Information");
inline const QString kWarningCaption = QStringLiteral("Warning");
inline const QString kConfirmCaption = QStringLiteral("Confirm");
inline const QString kProjectChangedCaption = QStringLiteral("Project changed");

// Project commands and the main window
inline const QString kSaveChangesQuestion = QStringLiteral("Save changes to project?");
inline const QString kProjectFileExists = QStringLiteral("Project file exists!\r\nOverwrite it?");
inline const QString kFileExists = QStringLiteral("File exists.\r\nOverwrite it?");
inline const QString kNewProjectTitle = QStringLiteral("Creating new project...Please,select name of new project");
inline const QString kProjectDoesntExist = QStringLiteral("Project doesn't exists.\r\nDo you want to create it?");
inline const QString kNoProjectForDrop =
    QStringLiteral("You haven't opened project!\r\nYou can't use DRAG&DROP for pictures in this stage.");
inline const QString kChangingItems =
    QStringLiteral("You are changing some items.\r\nPlease, confirm(cancel) your changes and than close this program");
inline const QString kNoBrowser =
    QStringLiteral("WWW page couldn't be runed , probably you haven't \r\ninstaled any WWW browser.");
inline const QString kRegistered = QStringLiteral("Extension .AVIprj was succesfully registered.");
inline const QString kUnregistered = QStringLiteral("Extension .AVIprj was succesfully unregistered.");
inline const QString kProjectNotOpened = QStringLiteral("The project was not opened.\r\n");
inline const QString kProjectNotSaved = QStringLiteral("The project was not saved.\r\n");
inline const QString kProjectNotCreated = QStringLiteral("The project was not created.\r\n");
inline const QString kRecoverChanges = QStringLiteral(
    "The project %1 was still open when the program ended, and its unsaved changes were kept.\r\n"
    "Do you want to recover them?\r\n"
    "Yes opens the project with them, No discards them, Cancel asks again at the next start.");
inline const QString kChangedOnDisk = QStringLiteral(
    "The project file %1 was changed by another program since it was opened or saved here.\r\n"
    "Overwrite it with this window's project, losing those changes, or reload it from disk?");
inline const QString kReloadQuestion = QStringLiteral(
    "Reload the project %1 from disk?\r\nThe changes made in this window since it was last saved are lost.");
inline const QString kEditNotUndone = QStringLiteral("The change could not be undone or redone.\r\n");

// Frame list
inline const QString kSortByNumber =
    QStringLiteral("Detected number at the %1 of filename\r\nShall added files be sorted by this number?");
inline const QString kNumberAtBegin = QStringLiteral("begin");
inline const QString kNumberAtEnd = QStringLiteral("end");
inline const QString kRemoveQuestion = QStringLiteral("Do you really want to remove selected items from project?");
// Follows the question, so the user sees how much goes.
inline QString RemoveCount(qsizetype frames)
{
    return frames == 1 ? QStringLiteral("\r\n1 frame will be removed.")
                       : QStringLiteral("\r\n%1 frames will be removed.").arg(frames);
}
inline const QString kRemoveFailed =
    QStringLiteral("There is some error, when removing items.\r\nOperation was storned.");
inline const QString kPicturesNotAdded = QStringLiteral("The pictures were not added.\r\n");
inline const QString kMusicNotAdded = QStringLiteral("The music was not added.\r\n");
inline const QString kNotFitted = QStringLiteral("The pictures were not fitted to the music.\r\n");
inline const QString kKeepDurationRatios =
    QStringLiteral("Keep the ratios of the pictures' durations?\r\n(No gives every picture the same duration.)");
inline const QString kPathsTooLong = QStringLiteral(
    "These pictures were not added: their paths are longer than %1 bytes, more than a frame can hold.\r\n");

// Frame details
inline const QString kNameTooLong = QStringLiteral(
    "The changes were not saved: the picture's path is longer than %1 bytes, more than a frame can hold.\r\n");
inline const QString kNotSeconds =
    QStringLiteral("The changes were not saved: \"%1\" is not a time in seconds from 0 to %2, such as 3 or 0.5.");
inline const QString kErrorReading = QStringLiteral("Error reading:: \r\n");
inline const QString kCorrectOrRemove = QStringLiteral("\r\nPlease, correct error or remove picture from project!");

}  // namespace kinetar::ui::msg
