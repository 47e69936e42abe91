// The sentences the source's error boxes give for each condition code.
#pragma once

namespace qx {

constexpr const char *SuccessSentence = "Success message from detailed error request ??";
constexpr const char *BummerSentence = "Bummer error.";
constexpr const char *LowMemorySentence =
    "Low Memory Condition encountered, free up some memory and try again.";
constexpr const char *NoBoardSentence = "Quorvex board(s) not found.";
constexpr const char *MaxConnectionsSentence = "Source is connected to max possible apps.";
constexpr const char *OperationErrorSentence = "An operation error just occurred.";
constexpr const char *BadCapSentence = "Bad capabilities error.";
constexpr const char *BadProtocolSentence = "Bad protocol error.";
constexpr const char *BadValueSentence = "Bad value error.";
constexpr const char *SeqErrorSentence = "DG DAT MSG is out of expected sequence.";
// For a code the table does not know.
constexpr const char *UnknownSentence = "Unknown Error value in condition code.";

}  // namespace qx
