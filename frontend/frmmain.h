#pragma once
// The form frmmain: its controls, laid out from the font in use, and the handlers of its
// events.

#include <QList>
#include <QMainWindow>

#include "form_state.h"
#include "platform.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

class frmmain : public QMainWindow {
public:
    explicit frmmain(Platform& platform);

    // Controls, named as on the form.
    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QGroupBox* Frame3;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QLineEdit* Text6;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QRadioButton* Option4;
    QLabel* Label1;
    QLabel* Label2;
    QAction* Mnuabout;
    Common_Dialog CommonDialog1;
    // The run in progress: the step's name, its progress, and the button that cancels it.
    QLabel* Label3;
    QProgressBar* Progress1;
    QPushButton* Command4;

    Form_State state;
    Platform& platform;

    // Start-up of the form.
    void Form_Load();
    // Input Browse.
    void Command1_Click();
    // Output Browse.
    void Command3_Click();
    // The conversion run.
    void Command2_Click();
    // Cancel of the run in progress.
    void Command4_Click();
    // The mode option buttons.
    void Option_Click(qint16 mode);
    // The About box.
    void Mnuabout_Click();

    // A run starts: the form takes no input but Cancel, and shows the run's progress.
    void begin_run();
    // The run has ended: the form takes input again.
    void end_run();
    // Shows the name of the step in progress.
    void show_step(const QString& step);
    // Shows the step's progress in percent, or a busy bar for -1.
    void show_progress(int percent);
    // Follows a dummy file being written and tells how it ended, without holding up the form.
    void follow_dummy(Program_Id program, const QString& output, const QString& size);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A dummy file being written.
    struct Dummy {
        Program_Id program;
        QString output;
        QString size;
    };
    QList<Dummy> dummies_;
    QTimer* dummy_timer_;

    // Shows the shared dialog (save or open) proposing proposed; gives the chosen path, or
    // an empty text when the user cancelled.
    QString show_dialog(bool save, const QString& proposed);
    // Tells how the dummy files that have ended ended.
    void check_dummies();
    // Locks the form's input but Cancel and shows the progress while running, and undoes it.
    void set_running(bool running);
};
