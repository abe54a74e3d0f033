#pragma once
// The form frmmain: its controls, placed from twips, and the handlers of its events.

#include <QMainWindow>

#include "form_state.h"
#include "platform.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Pixels for a distance in twips at a logical resolution of dpi (1440 twips to the inch).
int twips_to_pixels(int twips, int dpi);

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
    // The mode option buttons.
    void Option_Click(qint16 mode);
    // The About box.
    void Mnuabout_Click();

private:
    // Shows the shared dialog (save or open) and gives its current file name afterwards.
    QString show_dialog(bool save);
    // Places a control in its container from twips.
    void place(QWidget* control, int left, int top, int width, int height);
};
