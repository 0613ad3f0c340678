#pragma once
#include <exception>
#include <string>

// The one base of every error the program raises. The message is 8-bit Windows-1252 text,
// like all data text; the application's default handler shows it to the user.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};
