#pragma once

class QDialog;
class QWidget;

// The window a dialog or message box of ours opens above: the open modal one, else the window a
// dialog of ours has just closed over while the window system has not yet given it the focus
// back (the application, which learns of the focus only from the window system, would see none
// active then, and choose the main form), else the application's choice.
QWidget* DialogOwner();
// Runs `dialog` modally and returns its result; its parent is the window the focus goes back to.
int ExecDialog(QDialog& dialog);
