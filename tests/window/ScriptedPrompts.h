// Answers the window's dialogs from a script and records every message and question.
#pragma once
#include <QApplication>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "filelist/Prompts.h"

struct ScriptedPrompts : bv::filelist::Prompts {
    struct Shown {
        QString text;
        QString title;
        bv::filelist::MessageIcon icon;
        bool busyPointer;  // an override pointer was set while the box was up
        QString details;
        std::vector<bv::filelist::BoxAction> actions;
    };

    // Answers, taken from the front. A prompt without a scripted answer counts as
    // unexpected and is cancelled.
    std::deque<QStringList> files;
    std::deque<QString> folders;
    std::deque<QString> saveFiles;
    std::deque<bool> answers;
    // Runs inside chooseFolder, before it answers.
    std::function<void()> whileChoosingFolder;
    // Runs inside message, after it is recorded.
    std::function<void(const Shown&)> whileShowing;
    // Runs inside ask, before it answers.
    std::function<void()> whileAsking;

    std::vector<QString> filtersAsked;
    std::vector<QString> folderTitles;
    std::vector<Shown> messages;
    std::vector<QString> questions;
    std::vector<QString> opened;
    int unexpected = 0;

    QStringList chooseFiles(const QString& filters) override {
        filtersAsked.push_back(filters);
        if (files.empty()) {
            ++unexpected;
            return {};
        }
        QStringList answer = files.front();
        files.pop_front();
        return answer;
    }
    QString chooseFolder(const QString& title) override {
        folderTitles.push_back(title);
        if (whileChoosingFolder) whileChoosingFolder();
        if (folders.empty()) {
            ++unexpected;
            return {};
        }
        QString answer = folders.front();
        folders.pop_front();
        return answer;
    }
    QString chooseSaveFile(const QString&, const QString&, const QString&) override {
        if (saveFiles.empty()) {
            ++unexpected;
            return {};
        }
        QString answer = saveFiles.front();
        saveFiles.pop_front();
        return answer;
    }
    using bv::filelist::Prompts::message;
    void message(const QString& text, const QString& title, bv::filelist::MessageIcon icon, const QString& details,
                 const std::vector<bv::filelist::BoxAction>& actions) override {
        messages.push_back({text, title, icon, QApplication::overrideCursor() != nullptr, details, actions});
        if (whileShowing) whileShowing(messages.back());
    }
    bool ask(const QString& text, const QString& title) override {
        questions.push_back(title + QLatin1Char('|') + text);
        if (whileAsking) whileAsking();
        if (answers.empty()) {
            ++unexpected;
            return false;
        }
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void openExternal(const QString& target) override { opened.push_back(target); }
};
