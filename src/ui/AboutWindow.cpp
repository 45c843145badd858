#include "ui/AboutWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kinetar::ui {

namespace {

const char* const kAboutText =
    "Kinetar turns an ordered list of still pictures into an AVI video.\n"
    "\n"
    "Collect the pictures into a project: each frame names a picture file and says whether the "
    "picture is stretched to the video size or copied unscaled into the top-left corner of a black "
    "frame. Choose the size of the video, its colour depth (1, 4, 8 or 24 bits), the frames per "
    "second and the file to write, pick a compressor, and generate the video.\n"
    "\n"
    "Picture formats read:\n"
    "  BMP - 1, 4, 8 and 24 bits, uncompressed, RLE8 and RLE4\n"
    "  PCX - version 5, 256 colours with the palette at the end, or three planes of 8 bits\n"
    "  TGA - colour-mapped and grey 8 bits, true colour 16 and 24 bits, uncompressed and "
    "run-length (not 32 bits, not run-length 16 bits)\n"
    "  GIF - 87a and 89a, the first image of the file\n"
    "  JPEG, PNG, WebP, HEIC and AVIF photographs - turned by their orientation, converted to sRGB "
    "through their colour profile, transparency over black\n"
    "\n"
    "Projects are kept in .AVIprj files; Tools > Project extension > Register makes them open in "
    "Kinetar when double-clicked.\n"
    "\n"
    "Kinetar is free software under the GNU General Public License, version 3 or later.";

}  // namespace

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("About Kinetar v.1.0"));

    auto* title = new QLabel(QStringLiteral("Kinetar v. 1.0"));
    title->setObjectName(QStringLiteral("lb_Title"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto* text = new QPlainTextEdit(QString::fromUtf8(kAboutText));
    text->setObjectName(QStringLiteral("Memo_About"));
    text->setReadOnly(true);
    text->setMinimumSize(420, 240);

    auto* close = new QPushButton(QStringLiteral("&Close"));
    close->setObjectName(QStringLiteral("bt_Close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addLayout(buttons);
    close->setFocus();
}

}  // namespace kinetar::ui
