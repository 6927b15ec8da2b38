#include "app/KestrelApplication.h"
#include "app/Startup.h"
#include "app/TForm1.h"

int main(int argc, char** argv) {
  kestrel::KestrelApplication application(argc, argv);
  kestrel::CreateForms();
  kestrel::Form1->showMaximized();
  const int result = application.exec();
  kestrel::DestroyForms();
  return result;
}
