#pragma once

namespace nubo {

class CnuboDoc;

// The coding commands of the Options menu, run on a document: the coding itself goes to a worker thread behind
// the wait dialog, everything else (dialogs, message boxes, the documents and their windows) stays on the
// user-interface thread. What they compute, time and say comes from the toolkit-free coding commands.

// "Test ROI": encodes the document into memory, keeps the stream, shows the time and bit rate, then runs
// "Test ROI (only decode)".
void testRoi(CnuboDoc& document);

// "Test ROI (only decode)": decodes the kept stream, as far as the user selects, into a new document "new %d" and
// shows the time with the MSE and SNR against this document.
void testRoiDecodeOnly(CnuboDoc& document);

// "Encode img to file": encodes the document into a chosen .roi file and shows the time and bit rate.
void encodeToFile(CnuboDoc& document);

// "Decode img from file": decodes a chosen .roi file, as far as the user selects, into this document.
void decodeFromFile(CnuboDoc& document);

// "Compare with ...": measures this document's picture against another open document's.
void compareWith(CnuboDoc& document);

} // namespace nubo
