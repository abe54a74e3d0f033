#include "frmmain.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "conversion_run.h"

int twips_to_pixels(int twips, int dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

namespace {

// Client area of the form in twips.
constexpr int FORM_WIDTH = 4050;
constexpr int FORM_HEIGHT = 3300;

const char* const ABOUT_TEXT =
    "This is basicaly a windows frontend for Vintrel. With the added automatic image conversion. "
    "Major Thanks to zub for Vintrel.     Coded by Vormisko";

// A control of kind T with its name and caption, in container.
template <typename T>
T* make(QWidget* container, const char* name, const QString& caption)
{
    T* control = new T(caption, container);
    control->setObjectName(name);
    return control;
}

}  // namespace

void frmmain::place(QWidget* control, int left, int top, int width, int height)
{
    // Edges are rounded rather than sizes, so that controls that touch in twips still touch.
    const int dpi = logicalDpiX();
    const int x = twips_to_pixels(left, dpi), y = twips_to_pixels(top, dpi);
    control->setGeometry(x, y, twips_to_pixels(left + width, dpi) - x,
                         twips_to_pixels(top + height, dpi) - y);
}

frmmain::frmmain(Platform& platform_layer)
    : platform(platform_layer)
{
    setObjectName("frmmain");
    setWindowTitle("Vintrel Windows Frontend");
    // A small face, as the captions were sized for, so that they fit their controls.
    setStyleSheet("QWidget { font-size: 9px; } QRadioButton { spacing: 1px; }"
                  " QRadioButton::indicator { width: 10px; height: 10px; }");
    Mnuabout = menuBar()->addAction("About");
    Mnuabout->setObjectName("Mnuabout");

    QWidget* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    const int dpi = logicalDpiX();
    client->setFixedSize(twips_to_pixels(FORM_WIDTH, dpi), twips_to_pixels(FORM_HEIGHT, dpi));

    Frame1 = make<QGroupBox>(client, "Frame1", "Input Image");
    place(Frame1, 120, 120, 2415, 1095);
    Text1 = make<QLineEdit>(Frame1, "Text1", "");
    place(Text1, 120, 360, 2175, 285);
    Command1 = make<QPushButton>(Frame1, "Command1", "Browse");
    place(Command1, 600, 720, 1215, 255);

    Frame2 = make<QGroupBox>(client, "Frame2", "Output Image");
    place(Frame2, 120, 1440, 2415, 975);
    Text2 = make<QLineEdit>(Frame2, "Text2", "");
    place(Text2, 120, 240, 2175, 285);
    Command3 = make<QPushButton>(Frame2, "Command3", "Browse");
    place(Command3, 600, 600, 1215, 255);

    Command2 = make<QPushButton>(client, "Command2", "Convert");
    place(Command2, 720, 2760, 1335, 375);

    Frame3 = make<QGroupBox>(client, "Frame3", "Options");
    place(Frame3, 2640, 120, 1335, 3135);
    Option1 = make<QRadioButton>(Frame3, "Option1", "Auto Mode");
    place(Option1, 120, 360, 1095, 255);
    Option2 = make<QRadioButton>(Frame3, "Option2", "Normal Mode");
    place(Option2, 120, 720, 1095, 375);
    Label1 = make<QLabel>(Frame3, "Label1", "Lba");
    place(Label1, 120, 1080, 615, 255);
    Text3 = make<QLineEdit>(Frame3, "Text3", "");
    place(Text3, 120, 1320, 1095, 285);
    Option3 = make<QRadioButton>(Frame3, "Option3", "Patcher Mode");
    place(Option3, 120, 1680, 1095, 375);
    Option4 = make<QRadioButton>(Frame3, "Option4", "Dummy Creator");
    place(Option4, 120, 2160, 1095, 375);
    Label2 = make<QLabel>(Frame3, "Label2", "Size");
    place(Label2, 120, 2520, 735, 255);
    Text4 = make<QLineEdit>(Frame3, "Text4", "");
    place(Text4, 120, 2760, 1095, 285);

    Text5 = make<QLineEdit>(client, "Text5", "Text5");
    place(Text5, 0, 2760, 375, 375);
    Text5->setVisible(false);
    Text6 = make<QLineEdit>(client, "Text6", "");
    place(Text6, 360, 2520, 255, 285);
    Text6->setVisible(false);

    // Keyboard focus follows the tab indexes of the form; frames and labels take none.
    QWidget* order[] = {Text1, Command1, Command2, Text2, Command3, Option1, Option2,
                        Text3, Option3, Option4, Text4, Text5, Text6};
    for (size_t i = 0; i + 1 < sizeof order / sizeof order[0]; ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Option1, &QRadioButton::clicked, this, [this] { Option_Click(1); });
    connect(Option2, &QRadioButton::clicked, this, [this] { Option_Click(2); });
    connect(Option3, &QRadioButton::clicked, this, [this] { Option_Click(3); });
    connect(Option4, &QRadioButton::clicked, this, [this] { Option_Click(4); });
    connect(Mnuabout, &QAction::triggered, this, [this] { Mnuabout_Click(); });

    Form_Load();
}

void frmmain::Form_Load()
{
    const QString folder = platform.application_folder();
    state.WindowHandle = 0;
    state.TempPath = folder + "/temp.iso";
    Text6->setText(folder + "/vintrel");
    Text5->setText(folder + "/bin2iso");
    Option1->setChecked(true);
    state.RunMode = 1;
    CommonDialog1.Filter = QString("Bin image (*.bin) |*.bin") + "|Iso image (*.iso)|*.iso";
}

QString frmmain::show_dialog(bool save)
{
    QString chosen;
    const bool confirmed = save ? platform.show_save(this, CommonDialog1.FileName, CommonDialog1.Filter, chosen)
                                : platform.show_open(this, CommonDialog1.FileName, CommonDialog1.Filter, chosen);
    // A cancel leaves the current file name as it was; either way it is what the Browse takes.
    if (confirmed)
        CommonDialog1.FileName = chosen;
    return CommonDialog1.FileName;
}

void frmmain::Command1_Click()
{
    state.InputPath = show_dialog(false);
    Text1->setText(state.InputPath);
}

void frmmain::Command3_Click()
{
    state.OutputPath = show_dialog(true);
    Text2->setText(state.OutputPath);
    state.ConverterCommand =
        command_line({platform.application_folder() + "/bin2iso", state.InputPath, state.TempPath});
}

void frmmain::Command2_Click()
{
    conversion_run(*this);
}

void frmmain::Option_Click(qint16 mode)
{
    state.RunMode = mode;
}

void frmmain::Mnuabout_Click()
{
    platform.message_box(this, ABOUT_TEXT, "About");
}
