#pragma once
// The state that the form's handlers share.

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The application's title, which the run's message boxes bear.
inline const char* const APPLICATION_TITLE = "VintrelFrontEnd";

// Shared state of frmmain.
struct Form_State {
    QString InputPath;            // the input image, read from Text1 when a run starts
    QString OutputPath;           // the output, read from Text2 when a run starts
    qint16 RunMode = 1;           // 1 Auto, 2 Normal, 3 Patcher, 4 Dummy Creator
    QStringList ConverterCommand; // converter and its arguments, built by each run
    QStringList ToolCommand;      // vintrel and its arguments, built by each run
    qint32 WindowHandle = 0;      // console window of the program being waited on, 0 for none
    QString TempPath;             // the intermediate image, in the run's private folder
    QString RunFolder;            // the run's private folder, empty between runs
    bool Running = false;         // a run is in progress
    bool CancelRequested = false; // the user asked to cancel the run in progress
    bool CloseAfterRun = false;   // the user asked to close the window once the run has stopped
};

// The common file dialog: one current file name for both dialogs, and the filter list.
struct Common_Dialog {
    QString FileName;
    QString Filter;
};
