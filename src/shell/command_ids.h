#pragma once

// Command ids carried by the menu, toolbar and context-menu actions. The framework's own commands keep the values
// desktop frameworks have always given them; nubo's commands keep the values of its menu resources.
namespace nubo::cmd {

// File
inline constexpr int FileNew = 57600;
inline constexpr int FileOpen = 57601;
inline constexpr int FileClose = 57602;
inline constexpr int FileSave = 57603;
inline constexpr int FileSaveAs = 57604;
inline constexpr int FilePrintSetup = 57606;
inline constexpr int FilePrint = 57607;
inline constexpr int FilePrintPreview = 57609;
inline constexpr int FileMruFirst = 57616; // the recent files are FileMruFirst .. FileMruFirst + 3
inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;

// Edit (no handlers: always disabled)
inline constexpr int EditCopy = 57634;
inline constexpr int EditCut = 57635;
inline constexpr int EditPaste = 57637;
inline constexpr int EditUndo = 57643;
inline constexpr int EditRedo = 57644;

// Window
inline constexpr int WindowNew = 57648;
inline constexpr int WindowArrange = 57649;
inline constexpr int WindowCascade = 57650;
inline constexpr int WindowTile = 57651;
inline constexpr int NextPane = 57680;
inline constexpr int PrevPane = 57681;
inline constexpr int CompareViews = 32910; // the A/B window of two pictures of one size

// View
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int DescriptionsHidden = 32781;
inline constexpr int DescriptionsShort = 32782;
inline constexpr int DescriptionsFull = 32783;
inline constexpr int DescriptionsBackground = 32789;
inline constexpr int ZoomIn = 32900;
inline constexpr int ZoomOut = 32901;
inline constexpr int ZoomActualSize = 32902;
inline constexpr int ZoomFitWindow = 32903;

// Options: the coding commands and the coder settings
inline constexpr int TestRoi = 32774;
inline constexpr int EncodeToFile = 32778;
inline constexpr int DecodeFromFile = 32779;
inline constexpr int TestRoiDecodeOnly = 32785;
inline constexpr int CoderSettings = 32791;
inline constexpr int CompareWith = 32808;
inline constexpr int RateDistortionCurve = 32911;

// Region and background context menus
inline constexpr int SetRatio = 32775;
inline constexpr int DeleteRegion = 32776;
inline constexpr int SetBackgroundRatio = 32777;
inline constexpr int CodecWavelet = 32787;
inline constexpr int CodecArithmetic = 32788;
inline constexpr int CodecPredictive = 32830;
inline constexpr int CodecWaveletColour = 32840;
inline constexpr int BackgroundCodecWavelet = 32841;
inline constexpr int BackgroundCodecWaveletColour = 32842;

} // namespace nubo::cmd
