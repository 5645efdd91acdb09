#include "classlib/Application.h"
#include "classlib/Forms.h"

#include <QTest>
#include <QTimer>

#include <stdexcept>

// Runs under the program's own application object, which routes escaping exceptions.
class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void exceptionsFromHandlersReachTheApplication();
    void modalResultEndsShowModal_data();
    void modalResultEndsShowModal();
};

namespace {

class TClickBox : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    ZENTARO_CLASS_INFO()
};

const TClassInfo &TClickBox::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TClickBox, TGraphicControl>("TClickBox").Build();
    return info;
}

} // namespace

void TestApplication::exceptionsFromHandlersReachTheApplication() {
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    form.Show();
    auto *box = new TClickBox(&form);
    box->SetName("Box");
    box->SetBounds(10, 10, 40, 30);
    box->SetParent(&form);
    box->OnClick = [](TComponent *) { throw std::runtime_error("handler failed"); };
    QStringList reports;
    TApplication::Instance().OnException = [&](TComponent *sender, std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            reports << QString("%1: %2").arg(
                sender ? QString::fromStdString(sender->Name()) : "none", e.what());
        }
    };
    QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, {5, 5});
    QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, {5, 5});
    TApplication::Instance().OnException = nullptr;
    QCOMPARE(reports, QStringList({"Box: handler failed", "Box: handler failed"}));
}

void TestApplication::modalResultEndsShowModal_data() {
    QTest::addColumn<bool>("byResult");
    QTest::addColumn<int>("expected");
    QTest::newRow("result set") << true << int(mrOk);
    QTest::newRow("closed") << false << int(mrCancel);
}

void TestApplication::modalResultEndsShowModal() {
    QFETCH(bool, byResult);
    QFETCH(int, expected);
    TForm dialog(nullptr);
    QTimer::singleShot(0, [&] {
        if (byResult)
            dialog.SetModalResult(mrOk);
        else
            dialog.Close();
    });
    QCOMPARE(dialog.ShowModal(), expected);
    QVERIFY(!dialog.Widget()->isVisible());
}

int main(int argc, char **argv) {
    TApplicationObject application(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
