#pragma once

// The main window's parts a benchmark drives and watches, found among its
// children (by their object names, where they have one).
#include "app/mainwindow.h"
#include "link/portsettings.h"
#include "link/readerlink.h"
#include "link/receivepipeline.h"
#include "widgets/receivedgrid.h"

#include <QLineEdit>
#include <QPushButton>

#include <initializer_list>
#include <utility>

struct WindowParts {
    zanto::PortSettings *settings;
    zanto::ReaderLink *link;
    zanto::ReceivePipeline *pipeline;
    zanto::ReceivedGrid *grid;
    QPushButton *connect;
    QLineEdit *status;

    explicit WindowParts(zanto::MainWindow &w)
        : settings(w.findChild<zanto::PortSettings *>())
        , link(w.findChild<zanto::ReaderLink *>())
        , pipeline(w.findChild<zanto::ReceivePipeline *>(QStringLiteral("ReceivePipeline")))
        , grid(w.findChild<zanto::ReceivedGrid *>(QStringLiteral("MSFlexGrid1")))
        , connect(w.findChild<QPushButton *>(QStringLiteral("Command1")))
        , status(w.findChild<QLineEdit *>(QStringLiteral("Connect_Error")))
    {
        if (!settings || !link || !pipeline || !grid || !connect || !status)
            qFatal("the main window lacks a part the benchmark drives");
    }

    // The texts Port Settings would hold had they been typed into its dialog,
    // in force at once; the link loads them first, so Connect keeps them.
    void select(std::initializer_list<std::pair<zanto::PortSettings::Line, QString>> texts) const
    {
        settings->load();
        for (const auto &[line, text] : texts)
            settings->setText(line, text);
    }
};
