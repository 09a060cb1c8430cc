#include "StandardMessages.h"

#include "ItemFormat.h"
#include "LibraryBuilder.h"

namespace tqf {

namespace {

// Counts of the fixed-length texts in the examples.
constexpr std::int32_t MDLN_LENGTH = 6;
constexpr std::int32_t SOFTREV_LENGTH = 6;
constexpr std::int32_t TIME_LENGTH = 16;
constexpr std::int32_t DSPER_LENGTH = 6;

// An acknowledge message: one binary code.
void AddAcknowledge(LibraryBuilder& b, std::int32_t stream, std::int32_t function, const char* description,
                    const char* code) {
    b.AddItem(b.AddMessage(stream, function, false, description), BINARY, 1, code);
}

void AddStream1(LibraryBuilder& b) {
    b.AddMessage(1, 1, true, "ARE YOU THERE REQUEST");
    FormatNode* list = b.AddList(b.AddMessage(1, 2, false, "ON LINE DATA"));
    b.AddItem(list, ASCII, MDLN_LENGTH, "MDLN");
    b.AddItem(list, ASCII, SOFTREV_LENGTH, "SOFTREV");

    b.AddItem(b.AddList(b.AddMessage(1, 3, true, "SELECTED EQUIPMENT STATUS REQUEST"), true), UINT4, 1, "SVID");
    b.AddItem(b.AddList(b.AddMessage(1, 4, false, "SELECTED EQUIPMENT STATUS DATA"), true), VARIANT, 0, "SV");

    b.AddItem(b.AddList(b.AddMessage(1, 11, true, "STATUS VARIABLE NAMELIST REQUEST"), true), UINT4, 1, "SVID");
    FormatNode* names = b.AddList(b.AddList(b.AddMessage(1, 12, false, "STATUS VARIABLE NAMELIST REPLY"), true));
    b.AddItem(names, UINT4, 1, "SVID");
    b.AddItem(names, ASCII, OPEN_COUNT, "SVNAME");
    b.AddItem(names, ASCII, OPEN_COUNT, "UNITS");

    FormatNode* request = b.AddList(b.AddMessage(1, 13, true, "ESTABLISH COMMUNICATIONS REQUEST"));
    b.AddItem(request, ASCII, MDLN_LENGTH, "MDLN");
    b.AddItem(request, ASCII, SOFTREV_LENGTH, "SOFTREV");
    FormatNode* reply = b.AddList(b.AddMessage(1, 14, false, "ESTABLISH COMMUNICATIONS REQUEST ACKNOWLEDGE"));
    b.AddItem(reply, BINARY, 1, "COMMACK");
    FormatNode* model = b.AddList(reply);
    b.AddItem(model, ASCII, MDLN_LENGTH, "MDLN");
    b.AddItem(model, ASCII, SOFTREV_LENGTH, "SOFTREV");

    b.AddMessage(1, 15, true, "REQUEST OFF-LINE");
    AddAcknowledge(b, 1, 16, "OFF-LINE ACKNOWLEDGE", "OFLACK");
    b.AddMessage(1, 17, true, "REQUEST ON-LINE");
    AddAcknowledge(b, 1, 18, "ON-LINE ACKNOWLEDGE", "ONLACK");
}

void AddStream2(LibraryBuilder& b) {
    b.AddItem(b.AddList(b.AddMessage(2, 13, true, "EQUIPMENT CONSTANT REQUEST"), true), UINT4, 1, "ECID");
    b.AddItem(b.AddList(b.AddMessage(2, 14, false, "EQUIPMENT CONSTANT DATA"), true), VARIANT, 0, "ECV");
    FormatNode* constant = b.AddList(b.AddList(b.AddMessage(2, 15, true, "NEW EQUIPMENT CONSTANT SEND"), true));
    b.AddItem(constant, UINT4, 1, "ECID");
    b.AddItem(constant, VARIANT, 0, "ECV");
    AddAcknowledge(b, 2, 16, "NEW EQUIPMENT CONSTANT ACKNOWLEDGE", "EAC");

    b.AddMessage(2, 17, true, "DATE AND TIME REQUEST");
    b.AddItem(b.AddMessage(2, 18, false, "DATE AND TIME DATA"), ASCII, TIME_LENGTH, "TIME");

    FormatNode* trace = b.AddList(b.AddMessage(2, 23, true, "TRACE INITIALIZE SEND"));
    b.AddItem(trace, UINT4, 1, "TRID");
    b.AddItem(trace, ASCII, DSPER_LENGTH, "DSPER");
    b.AddItem(trace, UINT4, 1, "TOTSMP");
    b.AddItem(trace, UINT4, 1, "REPGSZ");
    b.AddItem(b.AddList(trace, true), UINT4, 1, "SVID");
    AddAcknowledge(b, 2, 24, "TRACE INITIALIZE ACKNOWLEDGE", "TIAACK");

    b.AddItem(b.AddMessage(2, 31, true, "DATE AND TIME SET REQUEST"), ASCII, TIME_LENGTH, "TIME");
    AddAcknowledge(b, 2, 32, "DATE AND TIME SET ACKNOWLEDGE", "TIACK");

    FormatNode* define = b.AddList(b.AddMessage(2, 33, true, "DEFINE REPORT"));
    b.AddItem(define, UINT4, 1, "DATAID");
    FormatNode* report = b.AddList(b.AddList(define, true));
    b.AddItem(report, UINT4, 1, "RPTID");
    b.AddItem(b.AddList(report, true), UINT4, 1, "VID");
    AddAcknowledge(b, 2, 34, "DEFINE REPORT ACKNOWLEDGE", "DRACK");

    FormatNode* link = b.AddList(b.AddMessage(2, 35, true, "LINK EVENT REPORT"));
    b.AddItem(link, UINT4, 1, "DATAID");
    FormatNode* event = b.AddList(b.AddList(link, true));
    b.AddItem(event, UINT4, 1, "CEID");
    b.AddItem(b.AddList(event, true), UINT4, 1, "RPTID");
    AddAcknowledge(b, 2, 36, "LINK EVENT REPORT ACKNOWLEDGE", "LRACK");

    FormatNode* enable = b.AddList(b.AddMessage(2, 37, true, "ENABLE/DISABLE EVENT REPORT"));
    b.AddItem(enable, BOOLEAN, 1, "CEED");
    b.AddItem(b.AddList(enable, true), UINT4, 1, "CEID");
    AddAcknowledge(b, 2, 38, "ENABLE/DISABLE EVENT REPORT ACKNOWLEDGE", "ERACK");

    FormatNode* command = b.AddList(b.AddMessage(2, 41, true, "HOST COMMAND SEND"));
    b.AddItem(command, ASCII, OPEN_COUNT, "RCMD");
    FormatNode* parameter = b.AddList(b.AddList(command, true));
    b.AddItem(parameter, ASCII, OPEN_COUNT, "CPNAME");
    b.AddItem(parameter, VARIANT, 0, "CPVAL");
    FormatNode* answer = b.AddList(b.AddMessage(2, 42, false, "HOST COMMAND ACKNOWLEDGE"));
    b.AddItem(answer, BINARY, 1, "HCACK");
    FormatNode* refused = b.AddList(b.AddList(answer, true));
    b.AddItem(refused, ASCII, OPEN_COUNT, "CPNAME");
    b.AddItem(refused, BINARY, 1, "CPACK");
}

void AddStream5(LibraryBuilder& b) {
    FormatNode* alarm = b.AddList(b.AddMessage(5, 1, true, "ALARM REPORT SEND"));
    b.AddItem(alarm, BINARY, 1, "ALCD");
    b.AddItem(alarm, UINT4, 1, "ALID");
    b.AddItem(alarm, ASCII, OPEN_COUNT, "ALTX");
    AddAcknowledge(b, 5, 2, "ALARM REPORT ACKNOWLEDGE", "ACKC5");

    FormatNode* enable = b.AddList(b.AddMessage(5, 3, true, "ENABLE/DISABLE ALARM SEND"));
    b.AddItem(enable, BINARY, 1, "ALED");
    b.AddItem(enable, UINT4, 1, "ALID");
    AddAcknowledge(b, 5, 4, "ENABLE/DISABLE ALARM ACKNOWLEDGE", "ACKC5");

    b.AddItem(b.AddMessage(5, 5, true, "LIST ALARMS REQUEST"), UINT4, OPEN_COUNT, "ALID");
    FormatNode* alarms = b.AddList(b.AddList(b.AddMessage(5, 6, false, "LIST ALARM DATA"), true));
    b.AddItem(alarms, BINARY, 1, "ALCD");
    b.AddItem(alarms, UINT4, 1, "ALID");
    b.AddItem(alarms, ASCII, OPEN_COUNT, "ALTX");
}

void AddStream6(LibraryBuilder& b) {
    FormatNode* trace = b.AddList(b.AddMessage(6, 1, true, "TRACE DATA SEND"));
    b.AddItem(trace, UINT4, 1, "TRID");
    b.AddItem(trace, UINT4, 1, "SMPLN");
    b.AddItem(trace, ASCII, TIME_LENGTH, "STIME");
    b.AddItem(b.AddList(trace, true), VARIANT, 0, "SV");
    AddAcknowledge(b, 6, 2, "TRACE DATA ACKNOWLEDGE", "ACKC6");

    FormatNode* discrete = b.AddList(b.AddMessage(6, 3, true, "DISCRETE VARIABLE DATA SEND"));
    b.AddItem(discrete, UINT4, 1, "DATAID");
    b.AddItem(discrete, UINT4, 1, "CEID");
    FormatNode* set = b.AddList(b.AddList(discrete, true));
    b.AddItem(set, UINT4, 1, "DSID");
    FormatNode* variable = b.AddList(b.AddList(set, true));
    b.AddItem(variable, INT4, 1, "DVNAME");
    b.AddItem(variable, FLOAT8, 1, "DVVAL");
    AddAcknowledge(b, 6, 4, "DISCRETE VARIABLE DATA ACKNOWLEDGE", "ACKC6");

    FormatNode* event = b.AddList(b.AddMessage(6, 11, true, "EVENT REPORT SEND"));
    b.AddItem(event, UINT4, 1, "DATAID");
    b.AddItem(event, UINT4, 1, "CEID");
    FormatNode* report = b.AddList(b.AddList(event, true));
    b.AddItem(report, UINT4, 1, "RPTID");
    b.AddItem(b.AddList(report, true), VARIANT, 0, "V");
    AddAcknowledge(b, 6, 12, "EVENT REPORT ACKNOWLEDGE", "ACKC6");
}

void AddStream7(LibraryBuilder& b) {
    FormatNode* inquire = b.AddList(b.AddMessage(7, 1, true, "PROCESS PROGRAM LOAD INQUIRE"));
    b.AddItem(inquire, ASCII, OPEN_COUNT, "PPID");
    b.AddItem(inquire, UINT8, 1, "LENGTH");
    AddAcknowledge(b, 7, 2, "PROCESS PROGRAM LOAD GRANT", "PPGNT");

    FormatNode* send = b.AddList(b.AddMessage(7, 3, true, "PROCESS PROGRAM SEND"));
    b.AddItem(send, ASCII, OPEN_COUNT, "PPID");
    b.AddItem(send, BINARY, OPEN_COUNT, "PPBODY");
    AddAcknowledge(b, 7, 4, "PROCESS PROGRAM ACKNOWLEDGE", "ACKC7");

    b.AddItem(b.AddMessage(7, 5, true, "PROCESS PROGRAM REQUEST"), ASCII, OPEN_COUNT, "PPID");
    FormatNode* data = b.AddList(b.AddMessage(7, 6, false, "PROCESS PROGRAM DATA"));
    b.AddItem(data, ASCII, OPEN_COUNT, "PPID");
    b.AddItem(data, BINARY, OPEN_COUNT, "PPBODY");

    b.AddMessage(7, 19, true, "CURRENT EPPD REQUEST");
    b.AddItem(b.AddList(b.AddMessage(7, 20, false, "CURRENT EPPD DATA"), true), ASCII, OPEN_COUNT, "PPID");
}

void AddStream10(LibraryBuilder& b) {
    FormatNode* request = b.AddList(b.AddMessage(10, 1, false, "TERMINAL REQUEST"));
    b.AddItem(request, BINARY, 1, "TID");
    b.AddItem(request, ASCII, OPEN_COUNT, "TEXT");
    AddAcknowledge(b, 10, 2, "TERMINAL REQUEST ACKNOWLEDGE", "ACKC10");

    FormatNode* single = b.AddList(b.AddMessage(10, 3, true, "TERMINAL DISPLAY SINGLE"));
    b.AddItem(single, BINARY, 1, "TID");
    b.AddItem(single, ASCII, OPEN_COUNT, "TEXT");
    AddAcknowledge(b, 10, 4, "TERMINAL DISPLAY SINGLE ACKNOWLEDGE", "ACKC10");

    FormatNode* multi = b.AddList(b.AddMessage(10, 5, true, "TERMINAL DISPLAY MULTI-BLOCK"));
    b.AddItem(multi, BINARY, 1, "TID");
    b.AddItem(b.AddList(multi, true), ASCII, OPEN_COUNT, "TEXT");
    AddAcknowledge(b, 10, 6, "TERMINAL DISPLAY MULTI-BLOCK ACKNOWLEDGE", "ACKC10");
}

} // namespace

void BuildStandardMessages(FormatTree& document) {
    LibraryBuilder builder(document);
    AddStream1(builder);
    AddStream2(builder);
    AddStream5(builder);
    AddStream6(builder);
    AddStream7(builder);
    AddStream10(builder);
}

} // namespace tqf
