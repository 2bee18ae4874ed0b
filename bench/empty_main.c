/* A program that does nothing: linked against a chosen set of shared
   libraries, its start-up time is what loading and initialising those
   libraries costs, with nothing of the program's own (bench/handover.sh). */
int main(void) { return 0; }
