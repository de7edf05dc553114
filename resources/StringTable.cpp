#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

// Sorted by id.
const StringResourceEntry kStringResources[] = {
    {2, "Navigator"},
    {5, "The mask cannot be stored in a color channel. Another channel must be active.\n"
        "A layer's opacity, a layer mask, new channels and the Quick Mask can all be used.\n"
        "To add an opacity layer double-click the Background layer in the Layers palette."},
    {6, "Keep"},
    {7, "Drop"},
    {8, "Transition"},
    {9, "Threshold"},
    {10, "Brush Edge"},
    {11, "Brush Size"},
    {12, "Hard"},
    {13, "Soft"},
    {14, "Small"},
    {15, "Large"},
    {16, "Hard"},
    {17, "Soft"},
    {18, "Less"},
    {19, "More"},
    {20, "Op:"},
    {21, "Tessaly Workspace (*.tsw)|*.tsw||"},
    {22, "Software\\Corvane\\Tessaly 1.0"},
    {23, "Important system registry information is missing. Please reinstall.\n"
         "If the problem persists, please contact Corvane."},
    {25, "Apply changes before closing?"},
    {27, "Tessaly separates a foreground from its background.\n\n"
         "Pick colours to keep and colours to drop, set threshold and transition,\n"
         "and paint the mask with the magic brush and the magic wand."},
    {28, "Tessaly\n\nDesigned and written by the Tessaly team.\n"
         "Thanks to everyone who tried the early versions."},
    {29, "Make Work Path..."},
    {30, "Corvane Tessaly"},
    {31, "Workspace 1.tsw"},
    {2001, "The plug-in is running. Please quit the plug-in, then retry the operation."},
    {2002, "The operation could not be completed."},
    {2005, "This image mode is not supported. Greyscale, RGB, CMYK and Lab modes are supported in 8 "
           "bits per channel."},
    {2006, "A file error occurred. If the problem persists contact Corvane."},
    {2007, "An error occurred while opening a file for saving. Check that the disk isn't full.\n"
           "If the problem persists contact Corvane."},
    {2008, "An error occurred while opening a disk file. If the problem persists please contact "
           "Corvane."},
    {2009, "An error occurred while saving. Check that the disk isn't full.\n"
           "If the problem persists contact Corvane."},
    {2015, "Tessaly couldn't save default preference file.\n"
           "There's a slight chance that the system disk is full.\n"
           "If the problem persists, please contact Corvane."},
    {2017, "An error occurred during repainting of the screen. Some windows may not be repainted "
           "correctly."},
    {2018, "The path cannot be created from a color channel. A selection or another channel must be "
           "active.\nValid channels include a layer's opacity, a layer mask, new channels and the "
           "Quick Mask."},
    {2020, "You cannot shut down while Tessaly is running.\nPlease close Tessaly and retry the "
           "operation."},
    {2021, "The path cannot be made: one of its outlines would have more than 32767 points.\n"
           "Make it again with a higher tolerance or choke, which gives fewer points."},
    {3003, "An unknown exception was caught"},
    {17000, "An unknown error was encountered."},
    {17001, "The plug-in has run out of memory. Please try the following:\n\n"
            "* Fill smaller areas of the image\n* Crop the image in the host\n"},
    {17002, "A write error occurred. The disk is probably full."},
    {17003, "The permission to open a file was denied."},
    {17004, "Unspecified input/output error."},
    {17005, "A read error occurred. The file may be damaged."},
    {17006, "An attempt to operate on unclaimed memory was detected. Save your work immediately, as "
            "the system may have become unstable!"},
    {17007, "An attempt to operate on an empty memory reference was detected. Save your work "
            "immediately, as the system may have become unstable!"},
    {17008, "The disk is full."},
    {17009, "The file was shorter than expected. This usually indicates that the file is invalid or "
            "has been truncated somehow."},
    {17010, "The file was not found."},
    {17011, "The volume was locked."},
    {17012, "The file was locked."},
    {17013, "<No message has been specified.>"},
};

const int kStringResourceCount = static_cast<int>(std::size(kStringResources));

const char* stringResource(int32_t id) {
  const auto* end = kStringResources + kStringResourceCount;
  const auto* it = std::lower_bound(kStringResources, end, id,
                                    [](const StringResourceEntry& e, int32_t key) { return e.id < key; });
  return it != end && it->id == id ? it->text : nullptr;
}
