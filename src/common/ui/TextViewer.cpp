#include "common/ui/TextViewer.h"

#include "common/TextFileReading.h"

#include <QAction>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenuBar>
#include <QPlainTextEdit>

TextViewer::TextViewer(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), m_editor(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("TextViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_editor->setObjectName(QStringLiteral("Text1"));
    m_editor->setReadOnly(true);
    m_editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(m_editor);

    QMenu *fileMenu = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    QAction *closeAction = fileMenu->addAction(QStringLiteral("关闭(&C)"));
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);

    QMenu *editMenu = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    QAction *copyAction = editMenu->addAction(QStringLiteral("复制(&C)"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(false);
    connect(m_editor, &QPlainTextEdit::copyAvailable, copyAction, &QAction::setEnabled);
    connect(copyAction, &QAction::triggered, m_editor, &QPlainTextEdit::copy);
    QAction *selectAllAction = editMenu->addAction(QStringLiteral("全选(&A)"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    connect(selectAllAction, &QAction::triggered, m_editor, &QPlainTextEdit::selectAll);

    QMenu *formatMenu = menuBar()->addMenu(QStringLiteral("格式(&O)"));
    QAction *wrapAction = formatMenu->addAction(QStringLiteral("自动换行(&W)"));
    wrapAction->setCheckable(true);
    connect(wrapAction, &QAction::toggled, m_editor, [this](bool on) {
        m_editor->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    });

    resize(800, 600);
}

bool TextViewer::open(const QString &path, QString *error)
{
    QString text;
    if (!ReadTextFile(path, &text, error))
        return false;
    m_path = path;
    m_editor->setPlainText(text);
    setWindowTitle(QFileInfo(path).fileName() + QStringLiteral("-Quillmoor"));
    return true;
}
