// The program's two error reports: the fatal one of start-up and the one for event handlers.
#pragma once

#include <exception>
#include <string>

namespace flashsaver {

// The exception's class name without namespaces ("EBadZipFile").
std::string ExceptionTypeName(const std::exception& e);

// The message with a full stop added when it does not end in one.
std::string WithFullStop(std::string message);

// "Application Error" box for an error that escaped start-up; the caller then exits with 1.
void ReportFatalError(const std::exception& e, const void* address);

// Error box for an error that escaped an event handler; the message loop goes on.
void ReportHandlerError(const std::exception& e);

// The program file's name without its extension, the caption of handler error boxes.
std::string ApplicationTitle();

}  // namespace flashsaver
