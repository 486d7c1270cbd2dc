#include "app/CVerrinApp.h"

int main(int argc, char **argv)
{
    CVerrinApp app;
    return app.InitInstance(argc, argv);
}
