// The one modal seam and the operator's input kit: a script acts on a dialog
// while it really runs modally, and input that takes the window system's
// path is refused where a modal window blocks it, as the mouse and keyboard
// are.

#include "platform/modal_dialog.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/user_input.h"

namespace {

using test_support::ModalScript;

// A dialog with an edit and the two buttons.
class SmallDialog : public QDialog {
public:
    explicit SmallDialog(QWidget* parent = nullptr) : QDialog(parent) {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        ok = new QPushButton(QStringLiteral("OK"), this);
        cancel = new QPushButton(QStringLiteral("CANCEL"), this);
        layout->addWidget(edit);
        layout->addWidget(ok);
        layout->addWidget(cancel);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    QLineEdit* edit;
    QPushButton* ok;
    QPushButton* cancel;
};

class OtherDialog : public SmallDialog {
public:
    using SmallDialog::SmallDialog;
};

class ModalDialogTest : public ::testing::Test {
protected:
    const bool m_qt = (test_support::EnsureQtApp(), true);
};

TEST_F(ModalDialogTest, WithoutAScriptTheDialogRunsItsOwnLoop) {
    SmallDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.done(7); });
    EXPECT_EQ(platform::RunModal(dialog), 7);
}

TEST_F(ModalDialogTest, TheScriptActsWhileTheDialogIsShownModal) {
    ModalScript<SmallDialog> script([](SmallDialog& dialog) {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        test_support::ExpectReachable(dialog.ok);
        test_support::UserClick(dialog.ok);
    });
    SmallDialog dialog;
    EXPECT_EQ(platform::RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(script.Runs(), 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ModalDialogTest, TheInnermostScriptOfTheDialogsClassTakesIt) {
    ModalScript<SmallDialog> outer([](SmallDialog& dialog) { dialog.done(1); });
    {
        ModalScript<OtherDialog> inner([](OtherDialog& dialog) { dialog.done(2); });
        SmallDialog small;
        EXPECT_EQ(platform::RunModal(small), 1);  // not an OtherDialog: the outer script
        OtherDialog other;
        EXPECT_EQ(platform::RunModal(other), 2);
        EXPECT_EQ(inner.Runs(), 1);
    }
    OtherDialog other;
    EXPECT_EQ(platform::RunModal(other), 1);
    EXPECT_EQ(outer.Runs(), 2);
}

TEST_F(ModalDialogTest, ADialogOpenedFromAScriptGetsItsOwnTurn) {
    int innerResult = -1;
    ModalScript<SmallDialog> outer([&](SmallDialog& dialog) {
        OtherDialog nested(&dialog);
        innerResult = platform::RunModal(nested);
        // Back in the outer dialog's loop, which is modal again.
        test_support::ExpectReachable(dialog.ok);
        test_support::UserClick(dialog.ok);
    });
    ModalScript<OtherDialog> inner([](OtherDialog& dialog) {
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        test_support::UserClick(dialog.cancel);
    });
    SmallDialog dialog;
    EXPECT_EQ(platform::RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(innerResult, QDialog::Rejected);
}

// A parentless window shown beside an application-modal dialog is blocked:
// the mouse and keyboard cannot reach it, and the kit's input, which takes
// the window system's path, cannot either. QTest's widget functions hand
// events straight to the widget and would press the button all the same.
TEST_F(ModalDialogTest, AWindowThatTheModalDialogBlocksTakesNoInput) {
    QWidget tool(nullptr, Qt::Tool);
    auto* button = new QPushButton(QStringLiteral("press"), &tool);
    button->setGeometry(5, 5, 80, 30);
    auto* edit = new QLineEdit(&tool);
    edit->setGeometry(5, 40, 80, 24);
    tool.resize(100, 80);
    tool.show();
    int presses = 0;
    QObject::connect(button, &QPushButton::clicked, [&presses] { ++presses; });

    // Before any modal dialog the window takes input.
    EXPECT_TRUE(test_support::ExpectReachable(button));
    test_support::UserClick(button);
    EXPECT_EQ(presses, 1);

    ModalScript<SmallDialog> script([&](SmallDialog& dialog) {
        EXPECT_TRUE(test_support::IsBlockedByModal(button));
        EXPECT_NONFATAL_FAILURE(test_support::ExpectReachable(button), "blocks");
        test_support::UserClick(button);
        test_support::UserType(edit, QStringLiteral("12"));
        EXPECT_EQ(presses, 1);
        EXPECT_EQ(edit->text(), QString());
        // The widget path ignores the modal dialog.
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(presses, 2);
        dialog.reject();
    });
    SmallDialog dialog;
    platform::RunModal(dialog);
    EXPECT_FALSE(test_support::IsBlockedByModal(button));

    // A tool window of the modal dialog's own is not blocked.
    ModalScript<OtherDialog> owned([&](OtherDialog& other) {
        QWidget child(&other, Qt::Tool);
        auto* childButton = new QPushButton(QStringLiteral("child"), &child);
        childButton->setGeometry(0, 0, 60, 30);
        child.resize(60, 30);
        child.show();
        int childPresses = 0;
        QObject::connect(childButton, &QPushButton::clicked, [&childPresses] { ++childPresses; });
        EXPECT_TRUE(test_support::ExpectReachable(childButton));
        test_support::UserClick(childButton);
        EXPECT_EQ(childPresses, 1);
        other.reject();
    });
    OtherDialog other;
    platform::RunModal(other);
}

TEST_F(ModalDialogTest, TypingAndKeysGoThroughTheFocusedEdit) {
    ModalScript<SmallDialog> script([](SmallDialog& dialog) {
        dialog.edit->setValidator(new QIntValidator(0, 999, dialog.edit));
        dialog.edit->setText(QStringLiteral("5"));
        int edits = 0;
        QObject::connect(dialog.edit, &QLineEdit::textEdited, [&edits] { ++edits; });
        // What was there is replaced; the validator refuses the letter.
        test_support::UserType(dialog.edit, QStringLiteral("4x2"));
        EXPECT_EQ(dialog.edit->text(), QStringLiteral("42"));
        EXPECT_GE(edits, 2);
        // Enter presses the default button.
        test_support::UserKey(dialog.edit, Qt::Key_Return);
    });
    SmallDialog dialog;
    EXPECT_EQ(platform::RunModal(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.edit->text(), QStringLiteral("42"));
}

TEST_F(ModalDialogTest, TypingTextBeyondAscii) {
    ModalScript<SmallDialog> script([](SmallDialog& dialog) {
        test_support::UserType(dialog.edit, QStringLiteral("é€x"));
        EXPECT_EQ(dialog.edit->text(), QStringLiteral("é€x"));
        test_support::UserType(dialog.edit, QString());  // empties it
        EXPECT_EQ(dialog.edit->text(), QString());
        test_support::UserKey(&dialog, Qt::Key_Escape);
    });
    SmallDialog dialog;
    EXPECT_EQ(platform::RunModal(dialog), QDialog::Rejected);
}

TEST_F(ModalDialogTest, ACoveredOrHiddenOrDisabledWidgetIsNotReachable) {
    QWidget window;
    window.resize(120, 80);
    auto* under = new QPushButton(QStringLiteral("under"), &window);
    under->setGeometry(10, 10, 60, 30);
    auto* over = new QPushButton(QStringLiteral("over"), &window);
    over->setGeometry(0, 0, 100, 60);
    auto* hidden = new QPushButton(QStringLiteral("hidden"), &window);
    hidden->hide();
    auto* disabled = new QPushButton(QStringLiteral("disabled"), &window);
    disabled->setGeometry(0, 60, 60, 20);
    disabled->setEnabled(false);
    window.show();
    EXPECT_NONFATAL_FAILURE(test_support::ExpectReachable(under), "covered");
    EXPECT_NONFATAL_FAILURE(test_support::ExpectReachable(hidden), "not shown");
    EXPECT_NONFATAL_FAILURE(test_support::ExpectReachable(disabled), "disabled");
    EXPECT_TRUE(test_support::ExpectReachable(over));
}

}  // namespace
