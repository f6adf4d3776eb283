// Strings in CDR need the ORB's code sets: one ORB for the whole run, its
// objects reachable on loopback only.
#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    char name[] = "corbakit_tests";
    char option[] = "-ORBendPoint";
    char endpoint[] = "giop:tcp:127.0.0.1:";
    char* orbArgv[] = {name, option, endpoint, nullptr};
    int orbArgc = 3;
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv);
    const int result = RUN_ALL_TESTS();
    orb->destroy();
    return result;
}
