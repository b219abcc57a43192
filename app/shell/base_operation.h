// The operation pane's page: go to a view, open a file into its view, and
// move the instrument's settings block (upload, download, open, save).
#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

// File types: 1 .bmp, 2 .wdf, 3 .wmf, 4 .ssf, 5 graph .csv or .wdf.
// 1 and the path in g_szOpenFilePath / g_szSaveFilePath when a file was chosen.
int OpenFileDialogFor(int type);
int SaveFileDialogFor(int type);

class CBaseOperation : public QWidget {
    Q_OBJECT
public:
    explicit CBaseOperation(QWidget *parent);

    void GotoView(int tab);
    void SetDeviceButtons(bool enable);

    void OnGotoView(int button);
    void OnOpenFileView(int button);
    void OnUpload();
    void OnDownload();
    void OnOpen();
    void OnSave();
    void OnSaveAs();

    QPushButton *button(int id) const;
    QString m_strCurrentFile;

private:
    void SetCurrentFile(const QString &text);
    QLineEdit *m_edit;
};
