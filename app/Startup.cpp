#include "app/Startup.h"

#include "app/TForm1.h"
#include "app/TForm3.h"
#include "app/TForm5.h"
#include "app/TForm7.h"
#include "operations/forms/TBitDialog.h"

namespace kestrel {

QPointer<TBitDialog> Form4;
QPointer<TBitDialog> Form6;

void CreateForms(std::unique_ptr<SerialDriver> serialDriver) {
  new TForm1(std::move(serialDriver));
  // The dialogs stay above the main window and have no task-bar entries of their own.
  new TForm3(Form1);
  Form4 = new TBitDialog(LockBitEditor, Form1);
  new TForm5(Form1);
  Form6 = new TBitDialog(FuseBitEditor, Form1);
  new TForm7(Form1);
}

void DestroyForms() {
  delete Form7;
  delete Form6;
  delete Form5;
  delete Form4;
  delete Form3;
  delete Form1;
}

}  // namespace kestrel
