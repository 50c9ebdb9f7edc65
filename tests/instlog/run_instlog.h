// Runs the built instlog program in a folder of its own and gives what it
// printed and its exit code.
#ifndef TESTS_INSTLOG_RUN_INSTLOG_H
#define TESTS_INSTLOG_RUN_INSTLOG_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct RunResult {
    int exitCode;   // -1 when the program did not end normally
    std::string out;
    std::string err;
};

// A fresh temporary folder for each test, removed afterwards; the program
// runs with it as its current folder.
class InstlogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The path of name inside the folder.
    std::string Path(const std::string &name) const;
    void WriteFile(const std::string &name, const std::string &bytes) const;
    std::string ReadFile(const std::string &name) const;
    bool Exists(const std::string &name) const;

    // Runs instlog with args; standard input comes from the file named
    // stdinName in the folder, or is empty.
    RunResult Run(const std::vector<std::string> &args, const std::string &stdinName = "") const;

    std::string dir_;
};

// Every line of text that contains part, joined by newlines: for messages
// that show what was found.
std::string LinesWith(const std::string &text, const std::string &part);

#endif
