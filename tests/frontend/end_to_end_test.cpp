// The real platform layer end to end: raw images go through bin2iso and vintrel from the
// form, with the programs in a read-only folder, and every run ends with a true message.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/mount.h>

#include "frmmain.h"
#include "qt_platform.h"
#include "support/disc.h"
#include "support/process.h"
#include "support/raw_cd.h"
#include "support/readers.h"
#include "support/scratch.h"

namespace fs = std::filesystem;

namespace {

// The real layer with the message boxes and questions answered by the test.
class Scripted_Platform : public Qt_Platform {
public:
    using Qt_Platform::Qt_Platform;
    QStringList messages;
    QStringList consoles;  // titles of the console windows the search found
    void message_box(QWidget*, const QString& prompt, const QString&) override { messages << prompt; }
    bool ask(QWidget*, const QString&, const QString&) override { return false; }
    qint32 find_window(const QString& title) override
    {
        qint32 handle = Qt_Platform::find_window(title);
        if (handle != 0 && !consoles.contains(title))
            consoles << title;
        return handle;
    }
};

// A folder that cannot be written, not even by root: read-only bind-mounted onto itself.
struct Read_Only {
    std::string dir;
    bool done = false;
    explicit Read_Only(const std::string& d) : dir(d)
    {
        done = mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
               mount(nullptr, dir.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~Read_Only()
    {
        if (done)
            umount2(dir.c_str(), MNT_DETACH);
    }
};

// The files and folders directly in a folder.
std::set<std::string> names_in(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

}  // namespace

class End_To_End_Test : public QObject {
    Q_OBJECT

    Scratch s;
    std::string app, raw_path, temp_root;
    std::vector<uint8_t> raw;

    // Runs the form once in mode with the boxes filled and the programs in folder; gives the
    // platform's messages.
    QStringList run(const std::string& folder, int mode, const std::string& output, const QString& lba = QString(),
                    Scripted_Platform** kept = nullptr)
    {
        auto* platform = new Scripted_Platform(QString::fromStdString(folder));
        platform->temporary_root = QString::fromStdString(temp_root);
        frmmain form(*platform);
        form.show();
        form.Text1->setText(QString::fromStdString(raw_path));
        form.Text2->setText(QString::fromStdString(output));
        form.Text3->setText(lba);
        (mode == 1 ? form.Option1 : mode == 2 ? form.Option2 : form.Option3)->click();
        form.Command2->click();
        const QStringList messages = platform->messages;
        if (kept != nullptr)
            *kept = platform;
        else
            delete platform;
        return messages;
    }

private slots:
    void initTestCase()
    {
        // The application folder holds the two programs, as an installation would; with
        // VINTREL_APP_FOLDER set, it is that folder (an installed one, say).
        if (const char* installed = getenv("VINTREL_APP_FOLDER")) {
            app = installed;
        } else {
            app = s / "app folder";
            fs::create_directories(app);
            fs::copy_file(VINTREL_BINARY, app + "/vintrel");
            fs::copy_file(BIN2ISO_BINARY, app + "/bin2iso");
        }
        temp_root = s / "tmp";
        fs::create_directories(temp_root);
        fixture::disc(s / "game.iso", {fixture::system_cnf(24), {"A.BIN;1", 40, 300000, 1}}, {{"B.BIN;1", 300, 5000, 2}});
        raw = fixture::wrap_raw(fixture::read_file(s / "game.iso"), fixture::Raw_Kind::Mode1_2352);
        raw_path = s / "my game.bin";
        fixture::Image img = fixture::create(raw_path, 0);
        fixture::put(img, 0, raw);
        fixture::finish(img);
        fs::create_directories(s / "out dir");
    }

    void good_runs_from_a_read_only_program_folder_end_with_the_image_and_say_so()
    {
        Read_Only locked(app);
        const std::set<std::string> programs = names_in(app);
        for (int mode : {1, 3}) {
            const std::string output = s / (mode == 1 ? "out dir/auto game.iso" : "out dir/patched game.iso");
            Scripted_Platform* platform = nullptr;
            const QStringList messages = run(app, mode, output, QString(), &platform);
            const QString done = "Done: SYSTEM.CNF now lies at sector 12231 of " + QString::fromStdString(output);
            QCOMPARE(messages, QStringList({"Please be patient this might be a while",
                                            mode == 1 ? done + "." : done + ", a patched copy of " +
                                                                         QString::fromStdString(raw_path) + "."}));
            QCOMPARE(listed_extents(output).at("/SYSTEM.CNF;1"), 12231L);
            QCOMPARE(platform->consoles, QStringList({QString::fromStdString(app + "/bin2iso"),
                                                      QString::fromStdString(app + "/vintrel")}));
            delete platform;
            // Nothing was left behind: not in the program folder, not in the temporary one.
            QVERIFY(names_in(app) == programs);
            QVERIFY(names_in(temp_root).empty());
            QVERIFY(fixture::read_file(raw_path) == raw);
        }
        if (!locked.done)
            qWarning("the program folder could not be made read-only here; checked that nothing was written to it");
    }

    void a_bad_lba_ends_with_the_error_of_vintrel()
    {
        const std::string output = s / "out dir/bad.iso";
        const QStringList messages = run(app, 2, output, "41");
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[1], QString("Building %1 with vintrel failed (exit status 1).\n\nError: sector 41 of %2 lies "
                                      "inside the file /A.BIN;1, which begins at sector 40; start the hole at sector "
                                      "40 instead")
                                  .arg(QString::fromStdString(output), messages[1].section("sector 41 of ", 1).section(" lies", 0, 0)));
        QVERIFY2(!fs::exists(output), "the empty output that the failed run made is removed");
        QVERIFY(names_in(temp_root).empty());
    }

    void a_converter_killed_mid_run_stops_the_run()
    {
        if (getenv("VINTREL_APP_FOLDER") != nullptr)
            QSKIP("this run uses a converter of its own, not an installed one");
        // A converter that writes part of the intermediate image and is then killed.
        const std::string killed = s / "killed app";
        fs::create_directories(killed);
        fs::copy_file(app + "/vintrel", killed + "/vintrel");
        {
            std::ofstream script(killed + "/bin2iso");
            script << "#!/bin/sh\nhead -c 1000000 /dev/zero > \"$2\"\nkill -KILL $$\n";
        }
        fs::permissions(killed + "/bin2iso", fs::perms::owner_all);
        const std::string output = s / "out dir/never.iso";
        const QStringList messages = run(killed, 1, output);
        QCOMPARE(messages, QStringList({"Please be patient this might be a while",
                                        "Converting " + QString::fromStdString(raw_path) +
                                            " with bin2iso was stopped by a signal."}));
        QVERIFY(!fs::exists(output));
        QVERIFY2(names_in(temp_root).empty(), "the partial intermediate image is gone");
    }
};

QTEST_MAIN(End_To_End_Test)
#include "end_to_end_test.moc"
