#include "driver/prompts.h"

#include <cctype>
#include <cstdlib>

#include "driver/numbers.h"

Name_Read read_name(FILE* stream, char* buffer)
{
    int c = fgetc(stream);
    while (c != EOF && std::isspace(c))
        c = fgetc(stream);
    if (c == EOF)
        return Name_Read::Ended;
    int length = 0;
    while (c != EOF && !std::isspace(c)) {
        if (length == NAME_BUFFER - 1)
            return Name_Read::Too_Long;
        buffer[length++] = static_cast<char>(c);
        c = fgetc(stream);
    }
    if (c != EOF)
        ungetc(c, stream);
    buffer[length] = '\0';
    return Name_Read::Ok;
}

namespace {

// The name buffers of this run; they live until the process ends.
char* name_buffers[2];

// Allocates name buffer slot or ends the process.
char* name_buffer(int slot)
{
    char* buffer = static_cast<char*>(malloc(NAME_BUFFER));
    if (buffer == nullptr) {
        printf("Error: Could not allocate memory\n");
        exit(1);
    }
    buffer[0] = '\0';
    name_buffers[slot] = buffer;
    return buffer;
}

// Prints a prompt and makes sure it is seen before the read waits.
void prompt(const char* text)
{
    printf("%s", text);
    fflush(stdout);
}

// Reads a name into buffer, or ends the process with a clear line.
void answer_name(char* buffer)
{
    switch (read_name(stdin, buffer)) {
    case Name_Read::Ok:
        return;
    case Name_Read::Ended:
        printf("Error: input ended before a name was given\n");
        break;
    case Name_Read::Too_Long:
        printf("Error: a name longer than %d characters was given\n", NAME_BUFFER - 1);
        break;
    }
    exit(1);
}

// Reads a number into value; a non-number leaves it as it is.
void answer_number(uint32_t& value)
{
    read_number_from(stdin, value);
}

}  // namespace

void interactive_mode(char command, Job_Settings& job)
{
    printf("Error too few command parameters.\nEntering Interactive Mode.\n");
    char* first = nullptr;
    char* second = nullptr;
    switch (command) {
    case 'a':
    case 'n':
        first = name_buffer(0);
        second = name_buffer(1);
        job.inname = first;
        job.outname = second;
        prompt("Enter the name of the SOURCE file:\n");
        answer_name(first);
        prompt("Enter the name of the file to create:\n");
        answer_name(second);
        if (command == 'n') {
            prompt("Enter the starting LBA:\n");
            answer_number(job.StartLBA);
        }
        return;
    case 'g':
        first = name_buffer(0);
        job.outname = first;
        prompt("Enter the name of the file you would like to create:\n");
        answer_name(first);
        prompt("Enter the size of the file in bytes you want to create:\n");
        answer_number(job.sizeDummy);
        return;
    case 'p':
        first = name_buffer(0);
        job.outname = first;
        prompt("Enter the name of the file you would like to patch:\n");
        answer_name(first);
        return;
    default:
        printf("Internal Error occured in interactive mode.\n");
        exit(1);
    }
}
