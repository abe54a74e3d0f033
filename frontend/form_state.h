#pragma once
// The state that the form's handlers share.

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The application's title, which the run's message boxes bear.
inline const char* const APPLICATION_TITLE = "VintrelFrontEnd";

// Shared state of frmmain.
struct Form_State {
    QString InputPath;            // chosen by the input Browse
    QString OutputPath;           // chosen by the output Browse
    qint16 RunMode = 1;           // 1 Auto, 2 Normal, 3 Patcher, 4 Dummy Creator
    QStringList ConverterCommand; // converter and its arguments, built by the output Browse
    QStringList ToolCommand;      // vintrel and its arguments, built by each run
    qint32 WindowHandle = 0;      // console window being waited on, 0 for none
    QString TempPath;             // the intermediate image in the application folder
};

// The common file dialog: one current file name for both dialogs, and the filter list.
struct Common_Dialog {
    QString FileName;
    QString Filter;
};
