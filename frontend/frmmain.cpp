#include "frmmain.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "conversion_run.h"

namespace {

const char* const ABOUT_TEXT =
    "This is basicaly a windows frontend for Vintrel. With the added automatic image conversion. "
    "Major Thanks to zub for Vintrel.     Coded by Vormisko";
const char* const TITLE = "Vintrel Windows Frontend";
// How often a dummy file being written is looked at, in milliseconds.
constexpr int DUMMY_POLL_MS = 200;
// Characters that a path box shows at least.
constexpr int PATH_CHARACTERS = 36;

// A control of kind T with its name and caption, in container.
template <typename T>
T* make(QWidget* container, const char* name, const QString& caption)
{
    T* control = new T(caption, container);
    control->setObjectName(name);
    return control;
}

// A button that keeps its natural width, centred in its row.
QHBoxLayout* centred(QWidget* button)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(button);
    row->addStretch(1);
    return row;
}

}  // namespace

frmmain::frmmain(Platform& platform_layer)
    : platform(platform_layer)
{
    setObjectName("frmmain");
    setWindowTitle(TITLE);
    Mnuabout = menuBar()->addAction("About");
    Mnuabout->setObjectName("Mnuabout");

    QWidget* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);

    // The arrangement of the original form: the two path frames and Convert on the left, the
    // options on the right; every control as large as its text needs, the path boxes widening
    // with the window.
    Frame1 = make<QGroupBox>(client, "Frame1", "Input Image");
    Text1 = make<QLineEdit>(Frame1, "Text1", "");
    Command1 = make<QPushButton>(Frame1, "Command1", "Browse");
    auto* input = new QVBoxLayout(Frame1);
    input->addWidget(Text1);
    input->addLayout(centred(Command1));

    Frame2 = make<QGroupBox>(client, "Frame2", "Output Image");
    Text2 = make<QLineEdit>(Frame2, "Text2", "");
    Command3 = make<QPushButton>(Frame2, "Command3", "Browse");
    auto* output = new QVBoxLayout(Frame2);
    output->addWidget(Text2);
    output->addLayout(centred(Command3));

    Command2 = make<QPushButton>(client, "Command2", "Convert");

    Frame3 = make<QGroupBox>(client, "Frame3", "Options");
    Option1 = make<QRadioButton>(Frame3, "Option1", "Auto Mode");
    Option2 = make<QRadioButton>(Frame3, "Option2", "Normal Mode");
    Label1 = make<QLabel>(Frame3, "Label1", "Lba");
    Text3 = make<QLineEdit>(Frame3, "Text3", "");
    Option3 = make<QRadioButton>(Frame3, "Option3", "Patcher Mode");
    Option4 = make<QRadioButton>(Frame3, "Option4", "Dummy Creator");
    Label2 = make<QLabel>(Frame3, "Label2", "Size");
    Text4 = make<QLineEdit>(Frame3, "Text4", "");
    auto* options = new QVBoxLayout(Frame3);
    for (QWidget* w : std::initializer_list<QWidget*>{Option1, Option2, Label1, Text3, Option3, Option4, Label2, Text4})
        options->addWidget(w);
    options->addStretch(1);
    const int digits = fontMetrics().horizontalAdvance(QStringLiteral("4294967295"));
    Text3->setMinimumWidth(digits);
    Text4->setMinimumWidth(digits);

    Text5 = make<QLineEdit>(client, "Text5", "Text5");
    Text5->setVisible(false);
    Text6 = make<QLineEdit>(client, "Text6", "");
    Text6->setVisible(false);

    Label3 = make<QLabel>(client, "Label3", "");
    Progress1 = new QProgressBar(client);
    Progress1->setObjectName("Progress1");
    Command4 = make<QPushButton>(client, "Command4", "Cancel");
    auto* progress = new QHBoxLayout;
    progress->addWidget(Progress1, 1);
    progress->addWidget(Command4);

    auto* grid = new QGridLayout(client);
    grid->addWidget(Frame1, 0, 0);
    grid->addWidget(Frame2, 1, 0);
    grid->addLayout(centred(Command2), 2, 0);
    grid->addWidget(Frame3, 0, 1, 3, 1);
    grid->addWidget(Label3, 3, 0, 1, 2);
    grid->addLayout(progress, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(2, 1);
    const int path_width = fontMetrics().averageCharWidth() * PATH_CHARACTERS;
    Text1->setMinimumWidth(path_width);
    Text2->setMinimumWidth(path_width);
    for (QWidget* w : std::initializer_list<QWidget*>{Label3, Progress1, Command4})
        w->setVisible(false);

    // Keyboard focus follows the tab indexes of the form; frames and labels take none.
    QWidget* order[] = {Text1, Command1, Command2, Text2, Command3, Option1, Option2,
                        Text3, Option3, Option4, Text4, Text5, Text6};
    for (size_t i = 0; i + 1 < sizeof order / sizeof order[0]; ++i)
        setTabOrder(order[i], order[i + 1]);

    // A file dropped on a path box gives its address as text; the box shows its path.
    for (QLineEdit* box : {Text1, Text2})
        connect(box, &QLineEdit::textChanged, this, [box](const QString& text) {
            if (text.trimmed().startsWith(QLatin1String("file:")))
                box->setText(path_in(box));
        });

    dummy_timer_ = new QTimer(this);
    dummy_timer_->setInterval(DUMMY_POLL_MS);
    connect(dummy_timer_, &QTimer::timeout, this, [this] { check_dummies(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
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
    Text6->setText(folder + "/vintrel");
    Text5->setText(folder + "/bin2iso");
    Option1->setChecked(true);
    state.RunMode = 1;
    CommonDialog1.Filter = QString("Bin image (*.bin) |*.bin") + "|Iso image (*.iso)|*.iso";
}

QString frmmain::show_dialog(bool save, const QString& proposed)
{
    QString chosen;
    // The save dialog offers images of 2048-byte sectors first.
    const QString filter = save ? QString("Iso image (*.iso)|*.iso|Bin image (*.bin) |*.bin") : CommonDialog1.Filter;
    const bool confirmed = save ? platform.show_save(this, proposed, filter, chosen)
                                : platform.show_open(this, proposed, filter, chosen);
    if (!confirmed)
        return QString();
    CommonDialog1.FileName = chosen;
    return chosen;
}

void frmmain::Command1_Click()
{
    const QString chosen = show_dialog(false, path_in(Text1));
    // A cancelled dialog leaves the path as it was.
    if (chosen.isEmpty())
        return;
    state.InputPath = chosen;
    Text1->setText(chosen);
}

void frmmain::Command3_Click()
{
    // Proposed: the name already there, else NAME.iso beside the input, never the input itself.
    QString proposed = path_in(Text2);
    const QString input = path_in(Text1);
    if (proposed.isEmpty() && !input.isEmpty()) {
        const QFileInfo in(input);
        proposed = in.dir().filePath(in.completeBaseName() + ".iso");
        if (proposed == input)
            proposed = in.dir().filePath(in.completeBaseName() + "-gs2.iso");
    }
    QString chosen = show_dialog(true, proposed);
    if (chosen.isEmpty())
        return;
    if (state.RunMode != 4 && QFileInfo(chosen).suffix().isEmpty())
        chosen += ".iso";
    state.OutputPath = chosen;
    Text2->setText(chosen);
}

void frmmain::Command2_Click()
{
    conversion_run(*this);
}

void frmmain::Command4_Click()
{
    state.CancelRequested = true;
}

void frmmain::Option_Click(qint16 mode)
{
    state.RunMode = mode;
}

void frmmain::Mnuabout_Click()
{
    platform.message_box(this, ABOUT_TEXT, "About");
}

void frmmain::begin_run()
{
    state.CancelRequested = false;
    set_running(true);
}

void frmmain::end_run()
{
    set_running(false);
}

void frmmain::set_running(bool running)
{
    state.Running = running;
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, Frame2, Frame3, Command2})
        w->setEnabled(!running);
    menuBar()->setEnabled(!running);
    for (QWidget* w : std::initializer_list<QWidget*>{Label3, Progress1, Command4})
        w->setVisible(running);
}

void frmmain::show_step(const QString& step)
{
    Label3->setText(step);
    Progress1->setRange(0, 0);
}

void frmmain::show_progress(int percent)
{
    if (percent < 0) {
        Progress1->setRange(0, 0);
        return;
    }
    Progress1->setRange(0, 100);
    Progress1->setValue(percent);
}

void frmmain::follow_dummy(Program_Id program, const QString& output, const QString& size)
{
    dummies_.append({program, output, size});
    dummy_timer_->start();
}

void frmmain::check_dummies()
{
    for (int i = 0; i < dummies_.size();) {
        const Dummy d = dummies_[i];
        if (platform.program_running(d.program)) {
            ++i;
            continue;
        }
        dummies_.removeAt(i);
        const QString message =
            platform.program_exit_status(d.program) == 0
                ? "Done: the dummy file " + d.output + " of " + d.size + " bytes was written."
                : failure_message("Writing the dummy file " + d.output + " with vintrel", platform, d.program);
        platform.message_box(this, message, APPLICATION_TITLE);
    }
    if (dummies_.isEmpty())
        dummy_timer_->stop();
}

void frmmain::closeEvent(QCloseEvent* event)
{
    if (!state.Running || state.CloseAfterRun) {
        event->setAccepted(!state.Running);
        return;
    }
    // The run stops first: the program is stopped, the intermediate image removed, and then
    // the window closes.
    event->ignore();
    if (platform.ask(this, "A conversion is running. Cancel it and quit?", APPLICATION_TITLE)) {
        state.CancelRequested = true;
        state.CloseAfterRun = true;
    }
}
