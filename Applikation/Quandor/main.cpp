#include "CQuandorApp.h"

int main(int argc, char** argv)
{
    CQuandorApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    const int result = app.exec();
    app.ExitInstance();
    return result;
}
