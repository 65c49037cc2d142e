#include "app/ui/hints.h"

#include <QAbstractButton>
#include <QApplication>
#include <QVariant>
#include <QWidget>

namespace app {

namespace {
struct Hint
{
    const char *window;
    const char *control;
    const char *text;
};

// One line per control: what it does. (Make ISO's options carry their own,
// in their rows.)
const Hint kHints[] = {
    // Main window
    {"Integrator", "SpeedButton2", "Boot images, and CD and floppy images"},
    {"Integrator", "cbDebug", "Log every command and its output; offer to save the log at exit"},

    // Make ISO: the buttons
    {"Mkisofs_form", "Button5", "Choose the sort file"},
    {"Mkisofs_form", "Button1", "Choose the root folder"},
    {"Mkisofs_form", "Button2", "Choose the output folder"},
    {"Mkisofs_form", "Button3", "Choose the batch folder"},
    {"Mkisofs_form", "Button4", "Choose the mkisofs program"},
    {"Mkisofs_form", "BTopenBimg", "Choose the boot image"},
    {"Mkisofs_form", "ClearBT", "Reset every option (the mkisofs location stays)"},
    {"Mkisofs_form", "OpenTemplate", "Load a set of options from a .mkiso template"},
    {"Mkisofs_form", "SaveTemplate", "Save these options as a .mkiso template"},
    {"Mkisofs_form", "Button6", "The comment saved with the template"},
    {"Mkisofs_form", "MkBatBT", "Write the mkisofs command line into build.bat"},
    {"Mkisofs_form", "CheckBT", "Before the build: will the image fit, will the names survive, does the sort file match"},
    {"Mkisofs_form", "RunBatBT", "Run build.bat in the console"},
    {"Mkisofs_form", "Quit", "Close the window; the options stay for the next time"},

    // Small dialogs and the console
    {"Comments_form", "CloseBt", "Close; the comment is kept"},
    {"About_form", "Button1", "Close the About box"},
    {"console", "StopBT", "End the running command and everything it started"},
    {"console", "CloseBT", "Close the console"},

    // Case and Attributes
    {"renamer_form", "Edit1", "The folder chosen in the tree"},
    {"renamer_form", "CheckBox1", "List the chosen folder itself"},
    {"renamer_form", "CheckBox2", "List the files in the chosen folder"},
    {"renamer_form", "CheckBox3", "List the folders below, and their contents at every depth"},
    {"renamer_form", "Button1", "List the chosen folder into the candidate list"},
    {"renamer_form", "Button8", "Empty the candidate list"},
    {"renamer_form", "Button9", "Remove the selected candidates"},
    {"renamer_form", "Button10", "Select every candidate"},
    {"renamer_form", "Button2", "Copy the selected candidates into the work list"},
    {"renamer_form", "Button6", "Empty the work list"},
    {"renamer_form", "Button7", "Remove the selected entries of the work list"},
    {"renamer_form", "Button4", "Rename every entry of the work list to upper case"},
    {"renamer_form", "Button3", "Rename every entry of the work list to lower case"},
    {"renamer_form", "Button5", "Give every entry of the work list the attributes ticked"},
    {"renamer_form", "Button11", "Close the window"},
    {"renamer_form", "CheckBox4", "Set the Read only attribute"},
    {"renamer_form", "CheckBox5", "Set the Archive attribute"},
    {"renamer_form", "CheckBox6", "Set the Hidden attribute"},
    {"renamer_form", "CheckBox7", "Set the System attribute"},
    {"renamer_form", "CheckBox8", "Remove the Read only attribute"},
    {"renamer_form", "CheckBox9", "Remove the Archive attribute"},
    {"renamer_form", "CheckBox10", "Remove the Hidden attribute"},
    {"renamer_form", "CheckBox11", "Remove the System attribute"},

    // CD Operations
    {"CD_Operations", "ComboBox1", "The CD drive to work with (found by cdrecord -scanbus)"},
    {"CD_Operations", "btClose", "Close the window"},
    {"CD_Operations", "btRead", "Read the disc in the drive into an ISO file (readcd)"},
    {"CD_Operations", "btFinalize", "Close the disc so that other drives can read it (-fix)"},
    {"CD_Operations", "btBurn", "Write an ISO file to the disc"},
    {"CD_Operations", "seSpeed", "The write speed (speed=)"},
    {"CD_Operations", "cbSimulate", "-dummy: go through the whole burn with the laser off"},
    {"CD_Operations", "cbDontFinalize", "-nofix: leave the disc open for more sessions"},
    {"CD_Operations", "cbBurnFree", "driveropts=burnfree: guard against buffer underruns"},
    {"CD_Operations", "cbVerify", "After a real burn, read the disc back and compare it with the image (SHA-256)"},
    {"CD_Operations", "btFormat", "Format the CD-RW (blank=all)"},
    {"CD_Operations", "btQuickFormat", "Blank the CD-RW in the way chosen beside it"},
    {"CD_Operations", "ComboBox2", "How to blank the CD-RW (blank=)"},

    // Other tools
    {"other_form", "cboxFloppy", "The floppy drive or removable disk"},
    {"other_form", "cboxCDROM", "The CD drive"},
    {"other_form", "btExBS", "Extract the boot images of the CD in the drive (bbie)"},
    {"other_form", "btExBSF", "Extract the boot images of an ISO file (bbie)"},
    {"other_form", "btISO", "Copy the whole CD into an image file (dd)"},
    {"other_form", "btFIMG", "Copy the whole floppy into an image file (dd)"},
    {"other_form", "btWriteIMG", "Write an image file onto the floppy (dd); its data is overwritten"},
    {"other_form", "btClose", "Close the window"},
    {"other_form", "StopBT", "End the running job and everything it started"},

    // Layout Sorter
    {"sorter_form", "Edit1", "The folder chosen in the tree; Import List and Export List work relative to it"},
    {"sorter_form", "Edit2", "The weight of the next file added"},
    {"sorter_form", "Edit3", "How much the weight changes from one added file to the next"},
    {"sorter_form", "Edit4", "The text to replace in every path of the list"},
    {"sorter_form", "Edit5", "The text that takes its place"},
    {"sorter_form", "ComboBox1", "How far the arrows change the weight"},
    {"sorter_form", "Button2", "Replace the text in every path of the list"},
    {"sorter_form", "Button14", "Load a sort file"},
    {"sorter_form", "Button3", "Save the list as a sort file with absolute paths"},
    {"sorter_form", "Button11", "Close the window"},
};

// The main buttons' captions with their Alt+letter marked; one letter once
// per window.
const Hint kKeys[] = {
    {"Integrator", "SpeedButton5", "&Make ISO"},
    {"Integrator", "SpeedButton6", "&CD operations"},
    {"Integrator", "SpeedButton2", "&Other"},
    {"Integrator", "SpeedButton3", "&Layout Sorter"},
    {"Integrator", "SpeedButton1", "C&ase and Attributes"},
    {"Integrator", "SpeedButton4", "&Help"},
    {"Integrator", "SpeedButton8", "A&bout"},
    {"Integrator", "SpeedButton7", "E&xit"},

    {"Mkisofs_form", "ClearBT", "Clear &All"},
    {"Mkisofs_form", "OpenTemplate", "&OpenTemplate"},
    {"Mkisofs_form", "SaveTemplate", "&SaveTemplate"},
    {"Mkisofs_form", "Button6", "Comme&nts"},
    {"Mkisofs_form", "MkBatBT", "&Make Batch"},
    {"Mkisofs_form", "CheckBT", "C&heck"},
    {"Mkisofs_form", "RunBatBT", "&Run Batch"},
    {"Mkisofs_form", "Quit", "&Close"},

    {"Comments_form", "CloseBt", "&Close"},
    {"console", "StopBT", "&Stop"},
    {"console", "CloseBT", "&Close"},

    {"CD_Operations", "btRead", "CD to &ISO file"},
    {"CD_Operations", "btFinalize", "&Finalize CD"},
    {"CD_Operations", "btBurn", "&Burn ISO file"},
    {"CD_Operations", "btFormat", "F&ormat CD-RW"},
    {"CD_Operations", "btQuickFormat", "B&lank CD-RW"},
    {"CD_Operations", "cbSimulate", "&Simulate writing"},
    {"CD_Operations", "btClose", "&Close"},

    {"other_form", "btExBS", "Extract boot sector from &CD"},
    {"other_form", "btExBSF", "Extract boot sec. from  &ISO"},
    {"other_form", "btISO", "&Make CD image"},
    {"other_form", "btFIMG", "Make &floppy image"},
    {"other_form", "btWriteIMG", "&Write image to floppy"},
    {"other_form", "btClose", "Cl&ose"},
    {"other_form", "StopBT", "&Stop"},

    {"sorter_form", "Button13", "&Add to list"},
    {"sorter_form", "Button1", "&Sort"},
    {"sorter_form", "Button4", "&Delete Row"},
    {"sorter_form", "Button17", "Clear Lis&t"},
    {"sorter_form", "Button2", "&Replace"},
    {"sorter_form", "Button14", "&Load List"},
    {"sorter_form", "Button3", "Sa&ve List"},
    {"sorter_form", "Button15", "&Import List"},
    {"sorter_form", "Button16", "&Export List"},
    {"sorter_form", "Button11", "&Close"},

    {"renamer_form", "Button4", "To &Uppercase"},
    {"renamer_form", "Button3", "To Lo&wercase"},
    {"renamer_form", "Button5", "Change Attri&b."},
    {"renamer_form", "Button10", "Select &All"},
    {"renamer_form", "Button11", "&Close"},
};
} // namespace

void applyKeys()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        for (const Hint &k : kKeys) {
            if (top->objectName() != QLatin1String(k.window))
                continue;
            auto *b = top->findChild<QAbstractButton *>(QLatin1String(k.control));
            const QString marked = QString::fromUtf8(k.text);
            // Only over the caption it was written for: a caption the
            // window changed itself is left as it is.
            if (b && b->text() == QString(marked).remove(QLatin1Char('&')))
                b->setText(marked);
        }
}

void applyHints()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        for (const Hint &h : kHints) {
            if (top->objectName() != QLatin1String(h.window))
                continue;
            auto *c = top->findChild<QWidget *>(QLatin1String(h.control));
            if (!c)
                continue;
            // Kept for ui::setReason; a reason the window shows already stays.
            c->setProperty("hint", QString::fromUtf8(h.text));
            if (c->toolTip().isEmpty())
                c->setToolTip(QString::fromUtf8(h.text));
        }
}

} // namespace app
