// The real platform layer end to end: a raw mode 1 image goes through bin2iso and vintrel
// from the form, and the result reads back with SYSTEM.CNF at sector 12231.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>

#include "frmmain.h"
#include "qt_platform.h"
#include "support/disc.h"
#include "support/process.h"
#include "support/raw_cd.h"
#include "support/scratch.h"

namespace {

// The real layer with the dialogs and message boxes answered by the test.
class Scripted_Platform : public Qt_Platform {
public:
    using Qt_Platform::Qt_Platform;
    QStringList answers;
    QStringList messages;
    bool show_open(QWidget*, const QString&, const QString&, QString& chosen) override
    {
        chosen = answers.takeFirst();
        return true;
    }
    bool show_save(QWidget*, const QString&, const QString&, QString& chosen) override
    {
        chosen = answers.takeFirst();
        return true;
    }
    void message_box(QWidget*, const QString& prompt, const QString&) override { messages << prompt; }
    void end_with_error(QWidget*, const QString& error) override { messages << "end: " + error; }
    QStringList seen;  // titles of the console windows the search found
    qint32 find_window(const QString& title) override
    {
        qint32 handle = Qt_Platform::find_window(title);
        if (handle != 0 && !seen.contains(title))
            seen << title;
        return handle;
    }
};

// The extent that isoinfo lists for SYSTEM.CNF;1.
long system_cnf_extent(const std::string& image)
{
    std::string out;
    run_shell("isoinfo -l -i '" + image + "'", &out);
    size_t at = out.find("]  SYSTEM.CNF;1");
    if (at == std::string::npos)
        return -1;
    return std::stol(out.substr(out.rfind('[', at) + 1));
}

}  // namespace

class End_To_End_Test : public QObject {
    Q_OBJECT

private slots:
    void raw_image_through_bin2iso_and_vintrel_from_the_form()
    {
        Scratch s;
        // The application folder holds the two programs, as an installation would.
        const std::string app = s / "app folder";
        std::filesystem::create_directories(app);
        std::filesystem::create_symlink(VINTREL_BINARY, app + "/vintrel");
        std::filesystem::create_symlink(BIN2ISO_BINARY, app + "/bin2iso");
        fixture::disc(s / "game.iso", {fixture::system_cnf(24), {"A.BIN;1", 40, 300000, 1}},
                      {{"B.BIN;1", 300, 5000, 2}});
        const std::vector<uint8_t> raw = fixture::wrap_raw(fixture::read_file(s / "game.iso"),
                                                           fixture::Raw_Kind::Mode1_2352);
        fixture::Image img = fixture::create(s / "my game.bin", 0);
        fixture::put(img, 0, raw);
        fixture::finish(img);
        std::filesystem::create_directories(s / "out dir");

        for (int mode : {1, 3}) {
            Scripted_Platform platform(QString::fromStdString(app));
            frmmain form(platform);
            form.show();
            const std::string output = s / (mode == 1 ? "out dir/auto game.iso" : "out dir/patched game.iso");
            platform.answers = {QString::fromStdString(s / "my game.bin"), QString::fromStdString(output)};
            form.Command1->click();
            form.Command3->click();
            (mode == 1 ? form.Option1 : form.Option3)->click();
            form.Command2->click();

            QCOMPARE(platform.messages, QStringList({"Please be patient this might be a while"}));
            QVERIFY2(std::filesystem::exists(output), output.c_str());
            QCOMPARE(system_cnf_extent(output), 12231L);
            QVERIFY(!std::filesystem::exists(app + "/temp.iso"));
            QCOMPARE(form.state.WindowHandle, 0);
            QVERIFY(fixture::read_file(s / "my game.bin") == raw);
            // Both programs' console windows were found, and closed when the programs ended.
            QCOMPARE(platform.seen, QStringList({QString::fromStdString(app + "/bin2iso"),
                                                 QString::fromStdString(app + "/vintrel")}));
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "console")
                    QVERIFY(!w->isVisible());
        }
    }
};

QTEST_MAIN(End_To_End_Test)
#include "end_to_end_test.moc"
