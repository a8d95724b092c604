// Condition compiler: turns an infix condition of the printer description into postfix
// code units ending in END, and checks that code leaves exactly one value on the
// evaluator's stack.
#pragma once
#include "desc/desc_reader.h"

KV_BEGIN_DECLS

// One 4-byte unit of compiled condition code.
typedef struct RULE_CODE_UNIT {
  WORD kind;     // RULE_UNIT_*
  WORD operand;  // item ID, literal, operator code, or 0 for a group end
} RULE_CODE_UNIT;

#define RULE_UNIT_ITEM 1
#define RULE_UNIT_LITERAL 2
#define RULE_UNIT_OPERATOR 3
#define RULE_UNIT_GROUP_END 4  // never in valid code: the check refuses it

#define RULE_OP_EQ 1
#define RULE_OP_NE 2
#define RULE_OP_AND 3
#define RULE_OP_OR 4
#define RULE_OP_NOT 5
#define RULE_OP_GT 6
#define RULE_OP_LT 7
#define RULE_OP_GE 8
#define RULE_OP_LE 9
#define RULE_OP_END 10

// Token kinds of RuleScanToken.
#define RULE_TOKEN_OTHER 0  // any other single character, or the end of the text
#define RULE_TOKEN_WORD 1
#define RULE_TOKEN_NUMBER 2
#define RULE_TOKEN_OPERATOR 3
#define RULE_TOKEN_BRACKET 4
#define RULE_TOKEN_TOO_LONG 5  // a word, number or operator run longer than the token buffer

#define RULE_MAX_OPERANDS 127  // operands pending at once in a valid condition

// Why a compile failed.
#define RULE_ERR_NONE 0
#define RULE_ERR_UNKNOWN_NAME 1  // a word that names no item, value or earlier Judge
#define RULE_ERR_NO_OPERAND 2    // a name whose item ID would be 0 (dialog, control, ...)
#define RULE_ERR_NUMBER_RANGE 3  // a literal above 65535
#define RULE_ERR_OPERANDS 4      // more than RULE_MAX_OPERANDS operands pending at once
#define RULE_ERR_UNBALANCED 5    // a group without its ")" or a ")" without its "("
#define RULE_ERR_TOKEN 6         // a token longer than the scanner's buffer
#define RULE_ERR_NO_MEMORY 7
#define RULE_ERR_OPERATOR 8         // an operator run that is not in the operator table
#define RULE_ERR_NEGATIVE 9         // a '-' (negative literals cannot be written)
#define RULE_ERR_CHARACTER 10       // another character that has no place in a condition (',', ';', ...)
#define RULE_ERR_REJECTED_JUDGE 11  // a name of a Judge whose own condition was rejected

// Name resolution used by the compiler. Each function returns TRUE when the name is
// known. judge returns the code of a Judge defined earlier (ending in END); the
// compiler copies it. rejected answers TRUE for the name of a Judge whose condition was
// rejected: a condition that names one is rejected too (RULE_ERR_REJECTED_JUDGE), since
// compiling the rejected Judge as "never holds" into it would change what it says. Any
// function may be null.
typedef struct RULE_NAME_RESOLVER {
  void *context;
  // *itemId receives the name's item ID (0 when the name is not an item operand).
  BOOL (*item)(void *context, const char *name, WORD *itemId);
  BOOL (*value)(void *context, const char *name, WORD *valueId);
  const RULE_CODE_UNIT *(*judge)(void *context, const char *name);
  BOOL (*rejected)(void *context, const char *name);
} RULE_NAME_RESOLVER;

// Resolver over the compiled-in names table (items and values; no Judge names).
const RULE_NAME_RESOLVER *WINAPI RuleNamesTableResolver(void);

// Scans the next token of source from source->length (blanks and line ends skipped) into
// token (tokenSize bytes, terminated) and moves source->length behind it; answers its
// RULE_TOKEN_* kind, RULE_TOKEN_TOO_LONG (token "") when it does not fit. The end of the
// text answers RULE_TOKEN_OTHER with an empty token and does not move.
DWORD WINAPI RuleScanToken(DESC_TEXT_BUFFER *source, char *token, DWORD tokenSize);
// Compiles source->text from its start (source->length is the cursor and is set to 0).
// Returns a new MemAllocZeroed array (free with MemFree) or null; *error (optional)
// receives RULE_ERR_*. Groups may nest as deep as the text goes; a condition that would
// hold more than RULE_MAX_OPERANDS operands pending at once fails (RULE_ERR_OPERANDS).
// After a failure source->length stands just past the token that failed it.
RULE_CODE_UNIT *WINAPI RuleCompileExpression(const RULE_NAME_RESOLVER *names, DESC_TEXT_BUFFER *source, DWORD *error);
// Where RuleCompileExpressionInto takes the block of its answer: bytes of memory, or NULL
// when there is none.
typedef void *(WINAPI *RULE_CODE_ALLOCATOR)(void *context, DWORD bytes);
// RuleCompileExpression whose answer comes from allocate(context, bytes) instead, owned as
// that allocator's memory is; a NULL from it fails the compile with RULE_ERR_NO_MEMORY.
RULE_CODE_UNIT *WINAPI RuleCompileExpressionInto(const RULE_NAME_RESOLVER *names, DESC_TEXT_BUFFER *source,
                                                 DWORD *error, RULE_CODE_ALLOCATOR allocate, void *context);
// 1 when the code leaves exactly one value on the evaluator's stack at its END, never
// holds more than RULE_MAX_OPERANDS operands and uses only the operators 1-9; else 0.
DWORD WINAPI RuleCheckCode(const RULE_CODE_UNIT *code);
// Bytes of condition code up to and including its END unit; the code must have one.
DWORD WINAPI RuleCodeLength(const RULE_CODE_UNIT *code);

KV_END_DECLS
