#pragma once

#include "UserDialogs.h"

#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

// Answers the window's dialogs from a script and records what was asked and shown.
class ScriptedDialogs : public UserDialogs {
 public:
  struct FileAnswer {
    QString fileName;
    int filterIndex = 1;
  };
  struct Query {
    QString caption, prompt, defaultText;
  };

  // Answers for the next file dialogs; an empty optional cancels.
  std::deque<std::optional<FileAnswer>> FileAnswers;
  // Answers for the next input boxes; an empty optional cancels.
  std::deque<std::optional<QString>> TextAnswers;

  std::vector<QString> Filters;     // filter of every file dialog run
  std::vector<QString> Extensions;  // default extension of every save dialog
  std::vector<int> PresetIndices;   // filter index every file dialog started with
  std::vector<Query> Queries;
  QStringList Messages;

  bool openFile(QWidget*, const QString& filter, int& filterIndex, QString& fileName) override {
    return answerFile(filter, QString(), filterIndex, fileName);
  }
  bool saveFile(QWidget*, const QString& filter, const QString& defaultExtension, int& filterIndex,
                QString& fileName) override {
    return answerFile(filter, defaultExtension, filterIndex, fileName);
  }
  bool inputQuery(QWidget*, const QString& caption, const QString& prompt, QString& text) override {
    Queries.push_back(Query{caption, prompt, text});
    if (TextAnswers.empty()) return false;
    const std::optional<QString> answer = TextAnswers.front();
    TextAnswers.pop_front();
    if (!answer) return false;
    text = *answer;
    return true;
  }
  void showMessage(QWidget*, const QString& text) override { Messages << text; }

 private:
  bool answerFile(const QString& filter, const QString& extension, int& filterIndex, QString& fileName) {
    Filters.push_back(filter);
    Extensions.push_back(extension);
    PresetIndices.push_back(filterIndex);
    if (FileAnswers.empty()) return false;
    const std::optional<FileAnswer> answer = FileAnswers.front();
    FileAnswers.pop_front();
    if (!answer) return false;
    fileName = answer->fileName;
    filterIndex = answer->filterIndex;
    return true;
  }
};
