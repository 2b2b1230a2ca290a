#pragma once

#include "TestSupport.h"
#include "WindowProbe.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/ReportsTab.h"

#include <memory>

namespace pelmor::test {

// The program on a program folder of its own with its message boxes and the
// statements it issues recorded: the main window once start() has opened
// it, and a probe on it.
struct AppUnderTest {
    AppUnderTest() { state.databaseFolder = folder.path(); }

    app::MainWindow& start()
    {
        window = std::make_unique<app::MainWindow>(state, messages);
        window->resize(1200, 780); // the size it opens at on a screen large enough
        window->show();
        ui = WindowProbe(window.get());
        return *window;
    }

    // Makes `batch` the current survey, as a click on its entry does, and
    // waits until the window has loaded it and ended the work it started.
    void chooseSurvey(const QString& batch)
    {
        window->reportsTab()->chooseSurvey(batch);
        if (!ui.workDone())
            qFatal("survey %s was not loaded within a minute", qPrintable(batch));
    }

    TempProgramFolder folder;
    RecordingMessages messages;
    app::AppState state;
    std::unique_ptr<app::MainWindow> window;
    WindowProbe ui;
};

} // namespace pelmor::test
