// The form frmmain and its conversion runs, against a recording platform.

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "fake_platform.h"
#include "frmmain.h"

class Form_Test : public QObject {
    Q_OBJECT

    const QString app = "/opt/vintrel app";
    const QString temp = app + "/temp.iso";
    const QString notice = "message VintrelFrontEnd: Please be patient this might be a while";

    // The log lines of waiting for a program's window: not yet there, seen twice, gone.
    QStringList waited(const QString& program, qint32 handle)
    {
        return {"find " + program + " -> 0", QString("find %1 -> %2").arg(program).arg(handle),
                QString("find %1 -> %2").arg(program).arg(handle), "find " + program + " -> 0"};
    }

    // A form whose input and output were chosen through the dialogs.
    void choose(Fake_Platform& p, frmmain& f, const QString& input, const QString& output)
    {
        p.answers = {input, output};
        f.Command1->click();
        f.Command3->click();
        p.log.clear();
    }

private slots:
    void controls_after_start_up()
    {
        Fake_Platform p;
        frmmain f(p);
        QCOMPARE(f.windowTitle(), QString("Vintrel Windows Frontend"));
        QCOMPARE(f.objectName(), QString("frmmain"));
        const int dpi = f.logicalDpiX();
        auto px = [dpi](int twips) { return twips_to_pixels(twips, dpi); };
        QCOMPARE(f.centralWidget()->size(), QSize(px(4050), px(3300)));

        struct Expected {
            const char* name;
            const char* container;
            QString caption;
            int left, top, width, height;
            bool visible;
        };
        const Expected controls[] = {
            {"Frame1", "client", "Input Image", 120, 120, 2415, 1095, true},
            {"Text1", "Frame1", "", 120, 360, 2175, 285, true},
            {"Command1", "Frame1", "Browse", 600, 720, 1215, 255, true},
            {"Frame2", "client", "Output Image", 120, 1440, 2415, 975, true},
            {"Text2", "Frame2", "", 120, 240, 2175, 285, true},
            {"Command3", "Frame2", "Browse", 600, 600, 1215, 255, true},
            {"Command2", "client", "Convert", 720, 2760, 1335, 375, true},
            {"Frame3", "client", "Options", 2640, 120, 1335, 3135, true},
            {"Option1", "Frame3", "Auto Mode", 120, 360, 1095, 255, true},
            {"Option2", "Frame3", "Normal Mode", 120, 720, 1095, 375, true},
            {"Label1", "Frame3", "Lba", 120, 1080, 615, 255, true},
            {"Text3", "Frame3", "", 120, 1320, 1095, 285, true},
            {"Option3", "Frame3", "Patcher Mode", 120, 1680, 1095, 375, true},
            {"Option4", "Frame3", "Dummy Creator", 120, 2160, 1095, 375, true},
            {"Label2", "Frame3", "Size", 120, 2520, 735, 255, true},
            {"Text4", "Frame3", "", 120, 2760, 1095, 285, true},
            {"Text5", "client", app + "/bin2iso", 0, 2760, 375, 375, false},
            {"Text6", "client", app + "/vintrel", 360, 2520, 255, 285, false},
        };
        f.show();
        for (const Expected& e : controls) {
            QWidget* w = f.findChild<QWidget*>(e.name);
            QVERIFY2(w != nullptr, e.name);
            QCOMPARE(w->parentWidget()->objectName(), QString(e.container));
            const QRect want(px(e.left), px(e.top), px(e.left + e.width) - px(e.left),
                             px(e.top + e.height) - px(e.top));
            QCOMPARE(w->geometry(), want);
            QCOMPARE(w->isVisible(), e.visible);
            QString caption;
            if (auto* g = qobject_cast<QGroupBox*>(w)) caption = g->title();
            if (auto* t = qobject_cast<QLineEdit*>(w)) caption = t->text();
            if (auto* b = qobject_cast<QAbstractButton*>(w)) caption = b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) caption = l->text();
            QCOMPARE(caption, e.caption);
        }
        QCOMPARE(f.menuBar()->actions().size(), 1);
        QCOMPARE(f.menuBar()->actions()[0]->text(), QString("About"));
        QVERIFY(f.Mnuabout->menu() == nullptr);

        QVERIFY(f.Option1->isChecked());
        QCOMPARE(f.state.RunMode, qint16(1));
        QCOMPARE(f.state.TempPath, temp);
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
            QVERIFY(c.button->isChecked());
        }
    }

    void browse_buttons_share_one_file_name()
    {
        Fake_Platform p;
        frmmain f(p);
        // A cancelled first open leaves everything empty.
        p.answers = {std::nullopt};
        f.Command1->click();
        QCOMPARE(f.state.InputPath, QString());
        QCOMPARE(f.Text1->text(), QString());
        // Output Browse before any input: the converter gets the temp image only.
        p.answers = {"/out/my game.iso"};
        f.Command3->click();
        QCOMPARE(f.state.OutputPath, QString("/out/my game.iso"));
        QCOMPARE(f.Text2->text(), QString("/out/my game.iso"));
        QCOMPARE(f.state.ConverterCommand, QStringList({app + "/bin2iso", temp}));
        // The open dialog proposes the shared name; cancelling it takes that name as input.
        p.answers = {std::nullopt};
        f.Command1->click();
        QCOMPARE(p.proposed.last(), QString("/out/my game.iso"));
        QCOMPARE(f.state.InputPath, QString("/out/my game.iso"));
        // A path with blanks stays one argument; an input chosen after the output Browse
        // changes the converter's command only at the next output Browse.
        p.answers = {"/in/raw disc.bin"};
        f.Command1->click();
        QCOMPARE(f.state.ConverterCommand, QStringList({app + "/bin2iso", temp}));
        p.answers = {"/out/final.iso"};
        f.Command3->click();
        QCOMPARE(f.state.ConverterCommand, QStringList({app + "/bin2iso", "/in/raw disc.bin", temp}));
        // Typed text is shown only.
        f.Text1->setText("/typed.bin");
        f.Text2->setText("/typed.iso");
        QCOMPARE(f.state.InputPath, QString("/in/raw disc.bin"));
        QCOMPARE(f.state.OutputPath, QString("/out/final.iso"));
        QVERIFY(p.log.contains(
            "save dialog proposing \"\" with filter \"Bin image (*.bin) |*.bin|Iso image (*.iso)|*.iso\""));
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

    void auto_and_normal_runs_convert_then_run_vintrel_then_delete_the_temp_image_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("lba");
        QTest::addColumn<QStringList>("tool");
        const QString out = "/out/my game.iso";
        QTest::newRow("auto") << 1 << "" << QStringList({app + "/vintrel", "a", temp, out});
        QTest::newRow("normal with 500") << 2 << "500" << QStringList({app + "/vintrel", "n", temp, out, "500"});
        QTest::newRow("normal with an empty box") << 2 << "" << QStringList({app + "/vintrel", "n", temp, out});
    }

    void auto_and_normal_runs_convert_then_run_vintrel_then_delete_the_temp_image()
    {
        QFETCH(int, mode);
        QFETCH(QString, lba);
        QFETCH(QStringList, tool);
        Fake_Platform p;
        frmmain f(p);
        p.form = &f;
        choose(p, f, "/in/raw disc.bin", "/out/my game.iso");
        f.state.RunMode = static_cast<qint16>(mode);
        f.Text3->setText(lba);
        f.Command2->click();
        QStringList expected = {notice, "start 6: " + app + "/bin2iso | /in/raw disc.bin | " + temp};
        expected << waited(app + "/bin2iso", 101);
        expected << "start 6: " + tool.join(" | ");
        expected << waited(app + "/vintrel", 102);
        expected << "delete " + temp;
        QCOMPARE(p.log, expected);
        QCOMPARE(f.state.ToolCommand, tool);
        QCOMPARE(f.state.WindowHandle, 0);
        QVERIFY(!p.enabled_while_waiting);
        QVERIFY(f.isEnabled());
        // A second Convert converts the same input again.
        p.log.clear();
        f.Command2->click();
        QCOMPARE(p.log.size(), expected.size());
        QCOMPARE(p.log[1], expected[1]);
    }

    void programs_that_never_show_a_window_do_not_hang_the_run()
    {
        Fake_Platform p;
        p.windowless = true;
        frmmain f(p);
        choose(p, f, "/in/a.bin", "/out/a.iso");
        f.Command2->click();
        QCOMPARE(p.log, QStringList({notice, "start 6: " + app + "/bin2iso | /in/a.bin | " + temp,
                                     "find " + app + "/bin2iso -> 0",
                                     "start 6: " + app + "/vintrel | a | " + temp + " | /out/a.iso",
                                     "find " + app + "/vintrel -> 0", "delete " + temp}));
    }

    void convert_before_any_output_browse_ends_with_the_platform_error()
    {
        Fake_Platform p;
        frmmain f(p);
        f.Command2->click();
        QCOMPARE(p.log, QStringList({notice, "start 6: ", "end: Cannot start : no such program"}));
    }

    void dummy_creator_starts_vintrel_maximized_and_returns()
    {
        Fake_Platform p;
        frmmain f(p);
        f.Option4->click();
        f.Text4->setText("100");
        f.Command2->click();
        QCOMPARE(p.log, QStringList({"message VintrelFrontEnd: Select the name of the dummy you wish to create "
                                     "in the output box"}));
        QVERIFY(f.state.ToolCommand.isEmpty());
        choose(p, f, "/in/a.bin", "/out/dummy file.bin");
        f.Command2->click();
        QCOMPARE(p.log, QStringList({"start 3: " + app + "/vintrel | g | /out/dummy file.bin | 100"}));
    }

    void patcher_mode_patches_a_converted_copy_and_moves_it_to_the_output()
    {
        for (int status : {0, 1}) {
            Fake_Platform p;
            p.tool_exit_status = status;
            frmmain f(p);
            f.Option3->click();
            f.Command2->click();
            QCOMPARE(p.log, QStringList({"message VintrelFrontEnd: Select the name of the patched image in the "
                                         "output box"}));
            choose(p, f, "/in/game.iso", "/out/patched.iso");
            f.Command2->click();
            QStringList expected = {notice, "start 6: " + app + "/bin2iso | /in/game.iso | " + temp};
            expected << waited(app + "/bin2iso", 101);
            expected << "start 6: " + app + "/vintrel | p | " + temp;
            expected << waited(app + "/vintrel", 102);
            if (status == 0)
                expected << "move " + temp + " -> /out/patched.iso";
            else
                expected << "delete " + temp
                         << "message VintrelFrontEnd: vintrel could not patch the image, so /out/patched.iso "
                            "was not written";
            QCOMPARE(p.log, expected);
        }
    }
};

QTEST_MAIN(Form_Test)
#include "form_test.moc"
