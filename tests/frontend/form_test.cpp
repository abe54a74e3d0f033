// The form frmmain and its conversion runs, against a recording platform.

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "fake_platform.h"
#include "frmmain.h"

class Form_Test : public QObject {
    Q_OBJECT

    const QString app = "/opt/vintrel app";
    const QString folder = "/tmp/run1";
    const QString temp = folder + "/temp.iso";
    const QString notice = "message VintrelFrontEnd: Please be patient this might be a while";

    // A form whose input and output boxes hold the paths.
    void fill(frmmain& f, const QString& input, const QString& output)
    {
        f.Text1->setText(input);
        f.Text2->setText(output);
    }

    // The log of a run that goes well: folder, notice, the two programs, the cleanup.
    QStringList good_run(const QString& input, const QStringList& tool, const QString& message)
    {
        return {"make " + folder,
                notice,
                "start 6: " + app + "/bin2iso | " + input + " | " + temp,
                "ended bin2iso",
                "start 6: " + tool.join(" | "),
                "ended vintrel",
                "remove " + folder,
                "message VintrelFrontEnd: " + message};
    }

private slots:
    void controls_after_start_up()
    {
        Fake_Platform p;
        frmmain f(p);
        f.show();
        QCOMPARE(f.windowTitle(), QString("Vintrel Windows Frontend"));
        QCOMPARE(f.objectName(), QString("frmmain"));
        const struct {
            const char* name;
            const char* container;
            QString caption;
            bool visible;
        } controls[] = {
            {"Frame1", "client", "Input Image", true},  {"Text1", "Frame1", "", true},
            {"Command1", "Frame1", "Browse", true},     {"Frame2", "client", "Output Image", true},
            {"Text2", "Frame2", "", true},              {"Command3", "Frame2", "Browse", true},
            {"Command2", "client", "Convert", true},    {"Frame3", "client", "Options", true},
            {"Option1", "Frame3", "Auto Mode", true},   {"Option2", "Frame3", "Normal Mode", true},
            {"Label1", "Frame3", "Lba", true},          {"Text3", "Frame3", "", true},
            {"Option3", "Frame3", "Patcher Mode", true}, {"Option4", "Frame3", "Dummy Creator", true},
            {"Label2", "Frame3", "Size", true},         {"Text4", "Frame3", "", true},
            {"Text5", "client", app + "/bin2iso", false}, {"Text6", "client", app + "/vintrel", false},
            {"Label3", "client", "", false},            {"Command4", "client", "Cancel", false},
        };
        for (const auto& e : controls) {
            QWidget* w = f.findChild<QWidget*>(e.name);
            QVERIFY2(w != nullptr, e.name);
            QCOMPARE(w->parentWidget()->objectName(), QString(e.container));
            QCOMPARE(w->isVisible(), e.visible);
            QString caption;
            if (auto* g = qobject_cast<QGroupBox*>(w)) caption = g->title();
            if (auto* t = qobject_cast<QLineEdit*>(w)) caption = t->text();
            if (auto* b = qobject_cast<QAbstractButton*>(w)) caption = b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) caption = l->text();
            QCOMPARE(caption, e.caption);
        }
        // The arrangement of the original form: input above output above Convert, options
        // to the right of them all.
        auto at = [&f](QWidget* w) { return w->mapTo(&f, QPoint(0, 0)); };
        QVERIFY(at(f.Frame1).y() < at(f.Frame2).y());
        QVERIFY(at(f.Frame2).y() < at(f.Command2).y());
        QVERIFY(at(f.Frame3).x() > at(f.Frame1).x() + f.Frame1->width() - 1);
        QVERIFY(at(f.Option1).y() < at(f.Option2).y() && at(f.Option2).y() < at(f.Text3).y());
        QVERIFY(at(f.Text3).y() < at(f.Option3).y() && at(f.Option4).y() < at(f.Text4).y());
        QCOMPARE(f.menuBar()->actions().size(), 1);
        QCOMPARE(f.menuBar()->actions()[0]->text(), QString("About"));
        QVERIFY(f.Option1->isChecked());
        QCOMPARE(f.state.RunMode, qint16(1));
        QCOMPARE(f.state.WindowHandle, 0);
        QCOMPARE(f.CommonDialog1.Filter, QString("Bin image (*.bin) |*.bin|Iso image (*.iso)|*.iso"));

        // Keyboard focus follows the tab indexes.
        QWidget* order[] = {f.Text1, f.Command1, f.Command2, f.Text2, f.Command3, f.Option1,
                            f.Option2, f.Text3, f.Option3, f.Option4, f.Text4};
        for (size_t i = 0; i + 1 < std::size(order); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus)
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i + 1]);
        }
    }

    void every_caption_fits_and_the_path_boxes_widen_with_the_window()
    {
        // Run at the default font, at QT_SCALE_FACTOR=2 and at QT_FONT_DPI=144 (see the
        // test's entries in CMake).
        Fake_Platform p;
        frmmain f(p);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        for (QAbstractButton* b : f.findChildren<QAbstractButton*>()) {
            if (!b->isVisible())
                continue;
            QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->objectName()));
            QVERIFY2(b->height() >= b->sizeHint().height(), qPrintable(b->objectName()));
        }
        for (QLabel* l : {f.Label1, f.Label2})
            QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->objectName()));
        for (QGroupBox* g : {f.Frame1, f.Frame2, f.Frame3})
            QVERIFY2(g->width() >= g->fontMetrics().horizontalAdvance(g->title()) + g->fontMetrics().height(),
                     qPrintable(g->objectName()));
        // The title fits beside a title bar's buttons, at the form's smallest.
        QFont bold = f.font();
        bold.setBold(true);
        QVERIFY(f.minimumSizeHint().width() > QFontMetrics(bold).horizontalAdvance(f.windowTitle()) + 6 * f.fontMetrics().height());
        QVERIFY(f.minimumWidth() == 0 || f.minimumWidth() >= f.minimumSizeHint().width());
        // A long path shows whole when the window grows.
        const int before = f.Text1->width();
        f.resize(f.width() + 300, f.height() + 100);
        QTest::qWait(50);
        QCOMPARE(f.Text1->width(), before + 300);
        QCOMPARE(f.Text2->width(), before + 300);
    }

    void option_buttons_set_the_run_mode()
    {
        Fake_Platform p;
        frmmain f(p);
        const struct {
            QRadioButton* button;
            qint16 mode;
        } clicks[] = {{f.Option2, 2}, {f.Option1, 1}, {f.Option4, 4}, {f.Option3, 3}};
        for (const auto& c : clicks) {
            c.button->click();
            QCOMPARE(f.state.RunMode, c.mode);
            int checked = 0;
            for (QRadioButton* b : {f.Option1, f.Option2, f.Option3, f.Option4})
                checked += b->isChecked();
            QCOMPARE(checked, 1);
        }
    }

    void cancelled_dialogs_keep_the_paths_and_the_save_dialog_proposes_an_iso_beside_the_input()
    {
        Fake_Platform p;
        frmmain f(p);
        p.answers = {"/in/victim.bin"};
        f.Command1->click();
        QCOMPARE(f.Text1->text(), QString("/in/victim.bin"));
        // The save dialog proposes NAME.iso beside the input, with the .iso filter first;
        // cancelling it leaves the output box as it was.
        p.answers = {std::nullopt};
        f.Command3->click();
        QCOMPARE(p.proposed.last(), QString("/in/victim.iso"));
        QVERIFY(p.filters.last().startsWith("Iso image (*.iso)|*.iso|"));
        QCOMPARE(f.Text2->text(), QString());
        QCOMPARE(f.state.OutputPath, QString());
        // A cancelled open dialog leaves the input as it was.
        p.answers = {std::nullopt};
        f.Command1->click();
        QCOMPARE(f.Text1->text(), QString("/in/victim.bin"));
        // A chosen name without an extension gets .iso; in Dummy Creator it does not.
        p.answers = {"/out/game", "/out/dummy"};
        f.Command3->click();
        QCOMPARE(f.Text2->text(), QString("/out/game.iso"));
        f.Option4->click();
        f.Command3->click();
        QCOMPARE(f.Text2->text(), QString("/out/dummy"));
    }

    void auto_normal_and_patcher_runs_read_the_boxes_and_tell_how_they_ended_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("lba");
        QTest::addColumn<QStringList>("tool");
        QTest::addColumn<QString>("message");
        const QString out = "/out/my game.iso";
        const QString done = "Done: SYSTEM.CNF now lies at sector 12231 of " + out;
        QTest::newRow("auto") << 1 << "" << QStringList({app + "/vintrel", "a", temp, out}) << done + ".";
        QTest::newRow("normal with 500") << 2 << "500" << QStringList({app + "/vintrel", "n", temp, out, "500"})
                                         << done + ".";
        QTest::newRow("patcher") << 3 << "" << QStringList({app + "/vintrel", "p", temp})
                                 << done + ", a patched copy of /in/raw disc.bin.";
    }

    void auto_normal_and_patcher_runs_read_the_boxes_and_tell_how_they_ended()
    {
        QFETCH(int, mode);
        QFETCH(QString, lba);
        QFETCH(QStringList, tool);
        QFETCH(QString, message);
        Fake_Platform p;
        frmmain f(p);
        p.form = &f;
        // Typed, not browsed: what the boxes show is what runs.
        fill(f, "/in/raw disc.bin", "/out/my game.iso");
        f.state.RunMode = static_cast<qint16>(mode);
        f.Text3->setText(lba);
        f.Command2->click();
        QStringList expected = good_run("/in/raw disc.bin", tool, message);
        if (mode == 3)
            expected.insert(6, "move " + temp + " -> /out/my game.iso");
        QCOMPARE(p.log, expected);
        QCOMPARE(f.state.ToolCommand, tool);
        QCOMPARE(f.state.WindowHandle, 0);
        QVERIFY(!p.enabled_while_waiting);
        QVERIFY(f.Command2->isEnabled());
        QVERIFY(!f.Progress1->isVisible());
    }

    void a_failing_program_stops_the_run_and_its_error_lines_are_shown_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        QTest::newRow("converter") << "bin2iso" << 1
                                   << "Error: /in/a.bin is not a CD image of a known layout (2352-byte sectors)\n"
                                   << "Converting /in/a.bin with bin2iso failed (exit status 1).\n\nError: /in/a.bin "
                                      "is not a CD image of a known layout (2352-byte sectors)";
        QTest::newRow("converter ended by a signal") << "bin2iso" << -1 << " 40%  1.0 of 2.5 MiB  1.0 MiB/s"
                                                     << "Converting /in/a.bin with bin2iso was stopped by a signal.";
        QTest::newRow("vintrel") << "vintrel" << 1
                                 << "\r  3%  1.0 of 30.0 MiB  9.0 MiB/s\x1b[K\r\x1b[KError: sector 41 of " + temp +
                                        " lies inside the file /A.BIN;1\n"
                                 << "Building /out/a.iso with vintrel failed (exit status 1).\n\nError: sector 41 of " +
                                        temp + " lies inside the file /A.BIN;1";
    }

    void a_failing_program_stops_the_run_and_its_error_lines_are_shown()
    {
        QFETCH(QString, failing);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, message);
        Fake_Platform p;
        p.scripts[failing] = {2, status, output, true, {}};
        // The run makes both (vintrel leaves its output empty when it fails).
        p.scripts["bin2iso"].creates = {temp};
        p.scripts["vintrel"].creates = {"/out/a.iso"};
        frmmain f(p);
        fill(f, "/in/a.bin", "/out/a.iso");
        f.Command2->click();
        QVERIFY(p.log.contains("message VintrelFrontEnd: " + message));
        const bool converter = failing == "bin2iso";
        QCOMPARE(p.log.filter("start 6: " + app + "/vintrel").size(), converter ? 0 : 1);
        QVERIFY(p.log.contains("delete " + temp));
        QVERIFY(p.log.contains("remove " + folder));
        QVERIFY(!p.files.contains("/out/a.iso"));
        QVERIFY(!p.files.contains(temp));
        QVERIFY(f.Command2->isEnabled());
    }

    void an_output_that_existed_before_a_failed_run_is_left_alone()
    {
        Fake_Platform p;
        p.scripts["vintrel"] = {2, 1, "Error: x\n", true, {}};
        p.files = {"/out/a.iso"};
        frmmain f(p);
        fill(f, "/in/a.bin", "/out/a.iso");
        f.Command2->click();
        QVERIFY(!p.log.contains("delete /out/a.iso"));
    }

    void nothing_starts_without_an_input_and_an_output_or_onto_the_input_itself()
    {
        const struct {
            QString input, output;
            bool same;
            QString message;
        } cases[] = {
            {"", "/out/a.iso", false, "Select the raw image to convert in the input box"},
            {"/in/a.bin", "", false, "Select the name of the new image in the output box"},
            {"/in/a.bin", "/in/./a.bin", false, "The output /in/./a.bin is the input image itself; choose another "
                                               "name, so that the input is not overwritten."},
            {"/in/a.bin", "/links/a.bin", true, "The output /links/a.bin is the input image itself; choose another "
                                                "name, so that the input is not overwritten."},
        };
        for (const auto& c : cases) {
            for (int mode : {1, 2, 3}) {
                Fake_Platform p;
                if (c.same)
                    p.same << qMakePair(c.input, c.output);
                frmmain f(p);
                fill(f, c.input, c.output);
                f.state.RunMode = static_cast<qint16>(mode);
                f.Command2->click();
                QCOMPARE(p.log, QStringList({"message VintrelFrontEnd: " + c.message}));
            }
        }
    }

    void a_program_that_cannot_start_ends_the_run_with_a_message_and_the_form_stays()
    {
        Fake_Platform p;
        p.scripts["vintrel"].starts = false;
        frmmain f(p);
        fill(f, "/in/a.bin", "/out/a.iso");
        f.Command2->click();
        QCOMPARE(p.log.last(), "message VintrelFrontEnd: Building /out/a.iso with vintrel could not start: " + app +
                                   "/vintrel is not there or cannot be run");
        QVERIFY(p.log.contains("remove " + folder));
        QVERIFY(f.Command2->isEnabled());
    }

    void a_dropped_file_gives_its_path()
    {
        Fake_Platform p;
        frmmain f(p);
        // A line edit takes a dropped file as its address.
        f.Text1->setText(QUrl::fromLocalFile("/in/my game.bin").toString());
        QCOMPARE(f.Text1->text(), QString("/in/my game.bin"));
        f.Text1->setText("  file:///in/other%20game.bin");
        f.Text2->setText("/out/a.iso");
        f.Command2->click();
        QVERIFY(p.log.contains("start 6: " + app + "/bin2iso | /in/other game.bin | " + temp));
    }

    void cancel_stops_the_program_and_removes_what_the_run_made_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("console window closed, cancel confirmed") << "console";
        QTest::newRow("main window closed, cancel confirmed") << "window";
    }

    void cancel_stops_the_program_and_removes_what_the_run_made()
    {
        QFETCH(QString, how);
        Fake_Platform p;
        p.scripts["vintrel"].looks = 100;
        p.scripts["bin2iso"].creates = {temp};
        p.scripts["vintrel"].creates = {"/out/a.iso"};
        frmmain f(p);
        f.show();
        fill(f, "/in/a.bin", "/out/a.iso");
        p.replies = {true};
        p.on_idle = [&](int n) {
            if (n != 6)
                return;
            if (how == "button")
                f.Command4->click();
            else if (how == "console")
                p.close_request = true;
            else
                f.close();
        };
        f.Command2->click();
        QVERIFY(p.log.contains("stop vintrel"));
        QVERIFY(p.log.contains("delete " + temp));
        QVERIFY(p.log.contains("delete /out/a.iso"));
        QVERIFY(p.log.contains("remove " + folder));
        if (how == "window") {
            QVERIFY(!f.isVisible());
            QVERIFY(p.log.filter("message").size() == 1);  // only the notice
        } else {
            QCOMPARE(p.log.last(), QString("message VintrelFrontEnd: The run was cancelled; /out/a.iso was not written."));
            QVERIFY(f.isVisible());
        }
    }

    void closing_during_a_run_without_confirming_lets_it_go_on()
    {
        Fake_Platform p;
        frmmain f(p);
        f.show();
        fill(f, "/in/a.bin", "/out/a.iso");
        p.replies = {false, false};
        p.on_idle = [&](int n) {
            if (n == 2)
                f.close();
            if (n == 3)
                p.close_request = true;
        };
        f.Command2->click();
        QVERIFY(!p.log.filter("stop").size());
        QCOMPARE(p.log.last(), QString("message VintrelFrontEnd: Done: SYSTEM.CNF now lies at sector 12231 of /out/a.iso."));
        QVERIFY(f.isVisible());
    }

    void the_progress_of_each_step_is_shown()
    {
        Fake_Platform p;
        p.scripts["vintrel"] = {8, 0, "LBA selected : 40\n\r 10%  1 of 10 MiB\r 55%  5 of 10 MiB\r 90%  9 of 10 MiB", true, {}};
        frmmain f(p);
        fill(f, "/in/a.bin", "/out/a.iso");
        QStringList steps;
        QList<int> values;
        p.on_idle = [&](int) {
            steps << f.Label3->text();
            values << f.Progress1->value();
            QVERIFY(f.Progress1->isVisible() || !f.isVisible());
        };
        f.Command2->click();
        QVERIFY(steps.contains("Converting /in/a.bin with bin2iso"));
        QVERIFY(steps.contains("Building /out/a.iso with vintrel"));
        QVERIFY(values.contains(55));
        QVERIFY(values.contains(90));
    }

    void dummy_creator_follows_vintrel_without_holding_up_the_form()
    {
        for (int status : {0, 1}) {
            Fake_Platform p;
            p.scripts["vintrel"] = {2, status, status == 0 ? "Done.\n" : "Error: couldn't write file /out/d.bin: No space left on device\n", true, {}};
            frmmain f(p);
            f.Option4->click();
            f.Text4->setText("100");
            f.Command2->click();
            QCOMPARE(p.log, QStringList({"message VintrelFrontEnd: Select the name of the dummy you wish to create "
                                         "in the output box"}));
            p.log.clear();
            f.Text2->setText("/out/d.bin");
            f.Command2->click();
            QCOMPARE(p.log, QStringList({"start 3: " + app + "/vintrel | g | /out/d.bin | 100"}));
            QTRY_VERIFY(p.log.last().startsWith("message"));
            QCOMPARE(p.log.last(), status == 0
                                       ? QString("message VintrelFrontEnd: Done: the dummy file /out/d.bin of 100 bytes was written.")
                                       : QString("message VintrelFrontEnd: Writing the dummy file /out/d.bin with vintrel "
                                                 "failed (exit status 1).\n\nError: couldn't write file /out/d.bin: No "
                                                 "space left on device"));
        }
    }

    void about_box()
    {
        Fake_Platform p;
        frmmain f(p);
        f.Mnuabout->trigger();
        QCOMPARE(p.log, QStringList({"message About: This is basicaly a windows frontend for Vintrel. With the "
                                     "added automatic image conversion. Major Thanks to zub for Vintrel.     "
                                     "Coded by Vormisko"}));
    }
};

QTEST_MAIN(Form_Test)
#include "form_test.moc"
